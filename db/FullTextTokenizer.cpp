// SPDX-License-Identifier: GPL-3.0-or-later
// Most words of the listings and logs are plain ASCII. SQLite's unicode61
// tokenizer reads every character as UTF-8, looks up its class and folds
// it; for an ASCII letter or digit that comes down to "is it alphanumeric"
// and "lower case". This tokenizer does that much itself and hands every
// run that holds a byte above 0x7F, from one ASCII separator to the next,
// to the built-in tokenizer. ASCII characters other than letters and
// digits separate tokens there as here, so no token of the built-in one
// crosses the end of such a run, and the runs give the same tokens.
#include "db/FullTextTokenizer.h"

#include <sqlite3.h>

#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace tw::fulltext {
namespace {

constexpr const char* kName = "unicode61";

// What the module keeps: the built-in tokenizer it stands in for.
struct Module {
    fts5_tokenizer builtin{};
    void* builtinContext = nullptr;
};

struct Tokenizer {
    const Module* module = nullptr;
    Fts5Tokenizer* inner = nullptr;
    // False when an option (tokenchars, separators, categories) changes
    // what an ASCII character is: then the built-in tokenizer reads it all.
    bool asciiFast = true;
    std::string folded;
};

bool asciiAlnum(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int create(void* context, const char** args, int count, Fts5Tokenizer** out)
{
    const auto* module = static_cast<const Module*>(context);
    auto* tokenizer = new Tokenizer;
    tokenizer->module = module;
    // Diacritics are not in ASCII: whatever remove_diacritics says, an
    // ASCII word is the same.
    for (int i = 0; i < count; i += 2)
        if (std::strcmp(args[i], "remove_diacritics") != 0)
            tokenizer->asciiFast = false;
    const int rc = module->builtin.xCreate(module->builtinContext, args, count, &tokenizer->inner);
    if (rc != SQLITE_OK) {
        delete tokenizer;
        *out = nullptr;
        return rc;
    }
    *out = reinterpret_cast<Fts5Tokenizer*>(tokenizer);
    return SQLITE_OK;
}

void destroy(Fts5Tokenizer* handle)
{
    auto* tokenizer = reinterpret_cast<Tokenizer*>(handle);
    if (!tokenizer)
        return;
    if (tokenizer->inner)
        tokenizer->module->builtin.xDelete(tokenizer->inner);
    delete tokenizer;
}

using TokenCallback = int (*)(void*, int, const char*, int, int, int);

// The built-in tokenizer's tokens of a run, with their offsets in the
// whole text.
struct Shifted {
    void* context;
    TokenCallback token;
    int offset;
};

int shiftedToken(void* context, int flags, const char* token, int size, int start, int end)
{
    const auto* shifted = static_cast<const Shifted*>(context);
    return shifted->token(shifted->context, flags, token, size, start + shifted->offset, end + shifted->offset);
}

int tokenize(Fts5Tokenizer* handle, void* context, int flags, const char* text, int size, TokenCallback token)
{
    auto* tokenizer = reinterpret_cast<Tokenizer*>(handle);
    const fts5_tokenizer& builtin = tokenizer->module->builtin;
    if (!tokenizer->asciiFast)
        return builtin.xTokenize(tokenizer->inner, context, flags, text, size, token);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    std::string& folded = tokenizer->folded;
    int rc = SQLITE_OK;
    int at = 0;
    while (rc == SQLITE_OK) {
        while (at < size && bytes[at] < 0x80 && !asciiAlnum(bytes[at]))
            ++at;
        if (at == size)
            break;
        const int start = at;
        bool plain = true;
        while (at < size && (bytes[at] >= 0x80 || asciiAlnum(bytes[at]))) {
            plain = plain && bytes[at] < 0x80;
            ++at;
        }
        if (plain) {
            folded.resize(static_cast<std::size_t>(at - start));
            for (int i = start; i < at; ++i) {
                const unsigned char c = bytes[i];
                folded[static_cast<std::size_t>(i - start)] =
                    static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
            }
            rc = token(context, 0, folded.data(), at - start, start, at);
        } else {
            Shifted shifted{context, token, start};
            rc = builtin.xTokenize(tokenizer->inner, &shifted, flags, text + start, at - start, shiftedToken);
        }
    }
    // As the built-in tokenizer does: a callback that says "done" is no
    // error.
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

void destroyModule(void* context)
{
    delete static_cast<Module*>(context);
}

} // namespace

fts5_api* fts5Of(sqlite3* handle)
{
    fts5_api* api = nullptr;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, "SELECT fts5(?1)", -1, &statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    sqlite3_bind_pointer(statement, 1, &api, "fts5_api_ptr", nullptr);
    sqlite3_step(statement);
    sqlite3_finalize(statement);
    return api;
}

int registerFastTokenizer(sqlite3* handle)
{
    fts5_api* api = fts5Of(handle);
    if (!api)
        return SQLITE_OK;
    auto module = std::make_unique<Module>();
    int rc = api->xFindTokenizer(api, kName, &module->builtinContext, &module->builtin);
    if (rc != SQLITE_OK)
        return rc;
    if (module->builtin.xTokenize == tokenize)
        return SQLITE_OK;
    fts5_tokenizer ours{create, destroy, tokenize};
    Module* kept = module.release();
    rc = api->xCreateTokenizer(api, kName, kept, &ours, destroyModule);
    if (rc != SQLITE_OK)
        delete kept;
    return rc;
}

} // namespace tw::fulltext

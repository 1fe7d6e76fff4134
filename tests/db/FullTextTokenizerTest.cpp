// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/FullTextTokenizer.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tw {
namespace {

using Token = std::tuple<std::string, int, int>; // folded word, start, end

// A connection's "unicode61" tokenizer: SQLite's own on a plain
// connection, the program's after registerFastTokenizer.
class Tokens {
public:
    explicit Tokens(bool fast, std::vector<const char*> args = {"remove_diacritics", "2"})
    {
        sqlite3_open(":memory:", &m_handle);
        if (fast) {
            EXPECT_EQ(fulltext::registerFastTokenizer(m_handle), SQLITE_OK);
        }
        fts5_api* api = fulltext::fts5Of(m_handle);
        if (!api)
            return;
        void* context = nullptr;
        EXPECT_EQ(api->xFindTokenizer(api, "unicode61", &context, &m_module), SQLITE_OK);
        EXPECT_EQ(m_module.xCreate(context, args.data(), static_cast<int>(args.size()), &m_tokenizer), SQLITE_OK);
    }
    ~Tokens()
    {
        if (m_tokenizer)
            m_module.xDelete(m_tokenizer);
        sqlite3_close(m_handle);
    }
    Tokens(const Tokens&) = delete;
    Tokens& operator=(const Tokens&) = delete;

    bool usable() const { return m_tokenizer != nullptr; }
    auto tokenizeFunction() const { return m_module.xTokenize; }

    std::vector<Token> of(const std::string& text, int flags = FTS5_TOKENIZE_DOCUMENT) const
    {
        std::vector<Token> out;
        const int rc = m_module.xTokenize(m_tokenizer, &out, flags, text.data(), static_cast<int>(text.size()),
                                          [](void* context, int, const char* token, int size, int start, int end) {
                                              static_cast<std::vector<Token>*>(context)->emplace_back(
                                                  std::string(token, static_cast<std::size_t>(size)), start, end);
                                              return SQLITE_OK;
                                          });
        EXPECT_EQ(rc, SQLITE_OK);
        return out;
    }

private:
    sqlite3* m_handle = nullptr;
    fts5_tokenizer m_module{};
    Fts5Tokenizer* m_tokenizer = nullptr;
};

// Texts where an ASCII shortcut could go wrong: letters with diacritics
// inside and at the edges of words, combining marks after ASCII letters,
// emoji, other scripts, digits, punctuation, NULs and broken UTF-8.
const std::vector<std::string>& trickyTexts()
{
    static const std::vector<std::string> texts = {
        "Příliš žluťoučký kůň úpěl ďábelské ódy. ŽLUŤOUČKÝ Kůň",
        "Straße Grüße, MÜNCHEN über-all Æble œuvre ﬁnale İstanbul",
        "Cache 🙂🌲 tree🌲house 👍🏽ok #GC12AB3 N 49° 12.345' E 016°34.567",
        "cafe\xcc\x81 nai\xcc\x88ve A\xcc\x8aland e\xcc\x81\xcc\x81",
        "Москва Κρήτη 東京タワー 123٤٥٦ ١٢٣ abc١٢٣def",
        "a–b—c…d «e» „f“ ‘g’ x·y 5½ 10€ ©2020 ™ a\xc2\xa0" "b",
        std::string("nul\0inside\0\0words", 17),
        "broken \xff\xfe utf8 \xc3 tail\xe2\x82 x \xf0\x9f\x99",
        "UPPER lower MiXeD 0123456789 a1b2 ___under__score__ dash-dash it's e-mail@x.cz http://a.b/c?d=e&f",
        "",
        "   \t\r\n !!! ",
        "ÿ",
    };
    return texts;
}

TEST(FastTokenizerTest, GivesTheBuiltInTokensAndOffsets)
{
    Tokens builtin(false), fast(true);
    if (!builtin.usable())
        GTEST_SKIP() << "this SQLite has no FTS5";
    ASSERT_TRUE(fast.usable());
    // Not the built-in one compared with itself.
    ASSERT_NE(fast.tokenizeFunction(), builtin.tokenizeFunction());
    for (const std::string& text : trickyTexts()) {
        SCOPED_TRACE(text);
        EXPECT_EQ(fast.of(text), builtin.of(text));
        EXPECT_EQ(fast.of(text, FTS5_TOKENIZE_QUERY | FTS5_TOKENIZE_PREFIX),
                  builtin.of(text, FTS5_TOKENIZE_QUERY | FTS5_TOKENIZE_PREFIX));
    }
    // Every option of the tokenizer is honoured, the shortcut included.
    for (const std::vector<const char*>& args :
         {std::vector<const char*>{}, {"remove_diacritics", "0"}, {"remove_diacritics", "1"},
          {"tokenchars", "-_'"}, {"separators", "xé"}, {"categories", "L* N* Co Mn"}}) {
        Tokens b(false, args), f(true, args);
        for (const std::string& text : trickyTexts()) {
            SCOPED_TRACE(text);
            EXPECT_EQ(f.of(text), b.of(text));
        }
    }
}

// The real pocket queries, markup and all: many languages and every odd
// thing their writers put in.
TEST(FastTokenizerTest, GivesTheBuiltInTokensOnTheCorpus)
{
    TW_REQUIRE_CORPUS();
    Tokens builtin(false), fast(true);
    if (!builtin.usable())
        GTEST_SKIP() << "this SQLite has no FTS5";
    int files = 0;
    std::size_t tokens = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::corpusDir() / "gpx")) {
        if (entry.path().extension() != ".gpx")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        const std::string text = test::readFile(entry.path());
        const std::vector<Token> expected = builtin.of(text);
        EXPECT_EQ(fast.of(text), expected);
        tokens += expected.size();
        ++files;
    }
    EXPECT_GT(files, 5);
    EXPECT_GT(tokens, 10000u);
}

TEST(FastTokenizerTest, RegisteredTwiceStillReachesTheBuiltIn)
{
    sqlite3* handle = nullptr;
    sqlite3_open(":memory:", &handle);
    if (!fulltext::fts5Of(handle)) {
        sqlite3_close(handle);
        GTEST_SKIP() << "this SQLite has no FTS5";
    }
    ASSERT_EQ(fulltext::registerFastTokenizer(handle), SQLITE_OK);
    ASSERT_EQ(fulltext::registerFastTokenizer(handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle,
                           "CREATE VIRTUAL TABLE t USING fts5(a, tokenize='unicode61 remove_diacritics 2');"
                           "INSERT INTO t VALUES ('Kůň plain TEXT');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_stmt* q = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(handle, "SELECT count(*) FROM t WHERE t MATCH 'kun AND text'", -1, &q, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(q), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(q, 0), 1);
    sqlite3_finalize(q);
    sqlite3_close(handle);
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/LikeMatch.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>

namespace SQLite {
namespace {

// Length of the UTF-8 sequence that starts at text[i] (1 for stray bytes).
std::size_t charLength(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    std::size_t k = 1;
    while (k < n && i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80)
        ++k;
    return k;
}

char foldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameChar(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    if (a.size() == 1)
        return foldAscii(a[0]) == foldAscii(b[0]);
    return a == b;
}

void likeUnbounded(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int patternBytes = sqlite3_value_bytes(argv[0]);
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int textBytes = sqlite3_value_bytes(argv[1]);
    sqlite3_result_int(context, likeMatch({pattern ? pattern : "", static_cast<std::size_t>(patternBytes)},
                                          {text ? text : "", static_cast<std::size_t>(textBytes)}));
}

} // namespace

bool likeMatch(std::string_view pattern, std::string_view text)
{
    // "%text%", the form every filter text takes: a plain substring search.
    // The backtracking below would need time proportional to the product of
    // the two lengths for a long text that almost matches everywhere.
    if (pattern.size() >= 2 && pattern.front() == '%' && pattern.back() == '%') {
        const std::string_view inner = pattern.substr(1, pattern.size() - 2);
        if (inner.find_first_of("%_\\") == std::string_view::npos) {
            auto folded = [](std::string_view v) {
                std::string out(v);
                for (char& c : out)
                    c = foldAscii(c);
                return out;
            };
            if (inner.empty())
                return true;
            const std::string needle = folded(inner);
            const std::string haystack = folded(text);
            return std::search(haystack.begin(), haystack.end(),
                               std::boyer_moore_horspool_searcher(needle.begin(), needle.end())) != haystack.end();
        }
    }
    // Greedy matching that returns to the last "%" on a mismatch: linear in
    // practice, never recursive, so a long pattern cannot exhaust the stack.
    std::size_t p = 0, t = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '%') {
            starP = ++p;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            // An escape stands for the character after it; a lone one at
            // the end matches nothing.
            const bool escaped = pattern[p] == '\\';
            const std::size_t at = escaped ? p + 1 : p;
            if (at < pattern.size()) {
                const std::size_t pl = charLength(pattern, at);
                const std::size_t tl = charLength(text, t);
                const bool any = !escaped && pattern[at] == '_';
                if (any || sameChar(pattern.substr(at, pl), text.substr(t, tl))) {
                    p = at + (any ? 1 : pl);
                    t += tl;
                    continue;
                }
            }
        }
        if (starP == std::string_view::npos)
            return false;
        starT += charLength(text, starT);
        t = starT;
        p = starP;
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

int registerLikeUnbounded(sqlite3* handle)
{
    return sqlite3_create_function(handle, "like_unbounded", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   likeUnbounded, nullptr, nullptr);
}

} // namespace SQLite

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace SQLite {
class Database;
} // namespace SQLite

namespace tw {

// Where a text query looks: a bit set; 0 (TextFields::All) is everywhere.
namespace TextField {
enum : unsigned {
    All = 0,
    Code = 1,
    Name = 2,
    Owner = 4,
    Listing = 8,
    Hint = 16,
    Logs = 32,
    Note = 64,
    Waypoints = 128
};
} // namespace TextField
using TextFields = unsigned;

namespace fulltext {

// This SQLite has FTS5.
bool Supported();
// The index exists and covers the caches.
bool Ready(SQLite::Database& db);
// Builds the index for every cache (one run for a database of an earlier
// version or another tool). progress(done, total) is called now and then;
// returning false cancels; a cancelled or failed build leaves the database as
// it was (no half index), and it still works without the index.
bool Build(SQLite::Database& db,
           const std::function<bool(long long done, long long total)>& progress);

// The user's query as an FTS5 MATCH expression: words (all must match),
// "phrases", prefix*, -word (exclude), field:word (hint:, logs:, note:,
// listing:, name:, owner:, code:, waypoints:, with Czech aliases), restricted
// to `fields`. Empty when the query holds no word. Never throws.
std::string MatchExpression(std::string_view query, TextFields fields = 0);
// The words of the query to highlight on the listing page (prefixes without
// the '*').
std::vector<std::string> HighlightTerms(std::string_view query);

struct Hit {
    long long key = 0;
    std::string code;
    std::string name;
    std::string snippet;
};
// Best first (bm25), at most `limit`; the snippet is a short UTF-8 piece of the
// text that matched, the matched words between the bytes '\x02' and '\x03'.
// Empty for an empty expression.
std::vector<Hit> Search(SQLite::Database& db, std::string_view query, TextFields fields,
                        int limit);

// The SQL the filter puts into the list's WHERE clause:
// "geocache.key IN (SELECT rowid FROM … MATCH ?)" with one parameter, the
// MATCH expression.
std::string KeyCondition();
// The relevance order term for ORDER BY. It needs the join of RankJoin() in
// the FROM clause, with one parameter, the MATCH expression.
std::string RankOrder();
// "LEFT JOIN (SELECT rowid AS ftskey, rank AS ftsrank FROM … MATCH ?) AS ftsrank
// ON ftsrank.ftskey = geocache.key"; bound with the same expression.
std::string RankJoin();

} // namespace fulltext
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace SQLite {
class Database;
} // namespace SQLite

namespace tw {

class CGeocache;

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
// The index exists and covers the caches. The caches are counted once per
// open of the database (checkAtOpen counts them already): after that only
// the index's state is read, which costs next to nothing.
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
// The relevance order term for ORDER BY ("`fts`.`textrank`": smaller is
// better, so ascending is best first), also the column to select for it. It
// needs RankJoin() after `geocache` in the FROM clause.
std::string RankOrder();
// "JOIN (SELECT rowid AS textkey, rank AS textrank FROM … MATCH ?) AS fts ON
// fts.textkey = geocache.key", with one parameter, the same MATCH expression.
// The filter (filter/QueryBuilder) puts it after `geocache` whenever the text
// query is not empty, selects RankOrder() after the cache's columns and
// orders by it for the order by relevance.
std::string RankJoin();

// What the index is like when the database is opened.
enum class State {
    Unsupported, // this SQLite has no FTS5: the search is unavailable
    Missing,     // never built, or no longer current: Build offers it
    Ready,
};
// At open: an index that no longer covers the caches (another program wrote
// them) or that this SQLite cannot keep current is no longer kept, so the
// writers leave it alone until it is built again. Costs two counts of the
// caches.
State checkAtOpen(SQLite::Database& db);

// Every connection of the program registers the functions through which the
// index reads the texts (in SQLite::Database::Open).
int registerFunctions(sqlite3* handle);
// The ranking of Search (tw_bestof), registered by registerFunctions.
int registerRankFunction(sqlite3* handle);

// For the writers of the cache tables (CacheStore), inside their
// transaction: the index is kept on this database; a cache's document
// leaves the index before its rows change (it is worked out from them, as it
// went in) and comes back after. Without the index they do nothing. Throw
// SQLite::Error.
bool maintained(SQLite::Database& db);
void removeCache(SQLite::Database& db, long long key);
void addCache(SQLite::Database& db, long long key);
// A cache just stored new (its key set, its rows written): its document is
// made from the texts at hand, as the rows give it, without reading them
// back. Rows of its code that were there before (another program's) make
// it read from the rows instead.
void addCache(SQLite::Database& db, const CGeocache& cache);
// Makes the listing, hint and logs of a new cache's document ahead, on an
// import's own thread, so that addCache(db, cache) only hands them to the
// index. Its texts, hint and logs must stay as they are after this.
void prepareDocument(CGeocache& cache);
// A waypoint about to be stored for the cache of the code: true when the
// cache's document, still waiting in the batch, took its words, and the
// writer need neither remove nor add the document for it.
bool waypointAdded(SQLite::Database& db, const std::string& code, std::string_view name, std::string_view comment,
                   std::string_view userComment);
void removeCache(SQLite::Database& db, const std::string& code);
void addCache(SQLite::Database& db, const std::string& code);
// How many documents of the open batch wait for its commit (0 outside one).
std::size_t waitingDocuments(SQLite::Database& db);

} // namespace fulltext
} // namespace tw

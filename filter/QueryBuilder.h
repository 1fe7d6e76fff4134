// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CacheReader.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "filter/CacheFilter.h"
#include "filter/CachePositions.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace SQLite {
class Database;
class Statement;
}

namespace tw {

// What the query needs besides the filter.
struct QueryInputs {
    double refLat = 0.0; // reference position, degrees (chosen without the live position)
    double refLon = 0.0;
    std::string nickname; // the user's name: "owned" compares the owner with it
    int maxRows = 999;
    int tagCategoryKey = 0; // keys of the filter's tag category and value, 0 when absent
    int tagValueKey = 0;
    // With a text query: the best matches first (the list's order by
    // relevance) instead of the nearest.
    bool byRelevance = false;
};

// One SELECT over whole `geocache` rows with ORDER BY and LIMIT; with a text
// query each row ends with one more column, its relevance (kRelevanceColumn,
// smaller is better). Every text
// the user typed, and every number, is a bound parameter: quotes, "--" or
// ";" in a name are just characters of the name.
struct CacheQuery {
    using Param = std::variant<std::int64_t, double, std::string>;
    std::string sql;
    std::vector<Param> params; // for ?1, ?2, ...
    int limit = 0;             // the LIMIT asked for

    // When `sql` orders the whole table by distance: the same selection
    // giving only `key`, `x` and `y` (keySql), and the selection of one row
    // by its key, bound after the rest (checkSql). They take the first
    // keyParams parameters. nearestKeys() orders through them, which costs a
    // fraction of the database's sort.
    std::string keySql;
    std::string checkSql;
    std::size_t keyParams = 0;
    double orderLat = 0.0; // the centre of the order, as bound to `sql`
    double orderLon = 0.0;

    void bind(SQLite::Statement& statement) const;
};

inline constexpr int kRelevanceColumn = 24;

CacheQuery BuildCacheQuery(const CacheFilter& filter, const QueryInputs& inputs);

// The keys of the rows `query.sql` gives, in its order and within its
// LIMIT, found through keySql and checkSql (empty without them). Positions
// kept from an earlier call are used when given. Lets SQLite::Error through.
std::vector<std::int64_t> nearestKeys(SQLite::Database& db, const CacheQuery& query,
                                      CachePositions* positions = nullptr);

// The rows asked of the database: MaxRows, raised with a distance limit (× 1.5
// below 100, × 1.2 from 100) so that the exact distance check after the box
// still leaves about MaxRows caches.
int queryRowLimit(int maxRows, double distanceKm);

// The filter's waypoint types as the waypoint reader takes them.
WaypointTypeSelection waypointTypesOf(const CacheFilter& filter);
// The waypoint statement for one cache: "SELECT *  FROM `waypoint` WHERE
// `id` = ?" with the filter's type condition; the caller binds the code.
std::string BuildWaypointQuery(const CacheFilter& filter, const std::string& code);

// LIKE patterns longer than this go through like_unbounded(): SQLite refuses
// longer ones ("LIKE or GLOB pattern too complex").
inline constexpr std::size_t kLongLikePattern = 40000;

} // namespace tw

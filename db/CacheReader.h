// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeoLog.h"
#include "db/CGeocache.h"
#include "db/CWaypoint.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "db/Tags.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The read side of the cache database: records from rows, and the parts of a
// cache that are loaded on demand (waypoints, logs, long texts and tags).
// Every function here lets SQLite::Error through to the caller.
namespace tw {

// Which waypoint types a cache's waypoint list holds, indexed by waypoint
// type number (Final Location first). The dummy cache "GC0" always holds
// every type: its waypoints are the user's own.
using WaypointTypeSelection = std::array<bool, 6>;
inline constexpr WaypointTypeSelection kAllWaypointTypes{true, true, true, true, true, true};

inline constexpr const char* kDummyCacheCode = "GC0";

// "SELECT *  FROM `waypoint` WHERE `id` = ?" followed by the type condition
// for the cache code: nothing when every type or none is selected (or for the
// dummy cache), else " AND (`wpttype` LIKE '...' OR ...)". The caller binds
// the code to the one parameter.
std::string waypointQueryFor(const WaypointTypeSelection& types, const std::string& code);

// Reads the waypoints of caches with statements prepared once, so that a list
// of a thousand caches does not prepare a thousand statements.
class WaypointLoader {
public:
    explicit WaypointLoader(SQLite::Database& db, const WaypointTypeSelection& types = kAllWaypointTypes)
        : m_db(db), m_types(types)
    {
    }

    // Appends the cache's waypoints of the selected types (once per record)
    // and sets hasFinal when a Final Location with a position is among them.
    void load(CGeocache& cache);

private:
    SQLite::Database& m_db;
    WaypointTypeSelection m_types;
    std::optional<SQLite::Statement> m_selected; // with the type condition
    std::optional<SQLite::Statement> m_every;    // the dummy cache
};

// A cache from a whole `geocache` row (SELECT *), by column position. A
// Multi-cache or Unknown Cache loads its waypoints at once through `waypoints`
// (every type when null), which decides hasFinal; any other type has hasFinal 1.
CGeocache geocacheFromRow(const SQLite::Statement& row, WaypointLoader* waypoints = nullptr);
// A waypoint from a whole `waypoint` row.
CWaypoint waypointFromRow(const SQLite::Statement& row);
// A log from a whole `geolog` row; the text is decompressed.
CGeoLog logFromRow(const SQLite::Statement& row);

// The cache with this code, waypoints of every type; nothing when there is no
// such row.
std::optional<CGeocache> LoadCacheByCode(SQLite::Database& db, const std::string& code);

// Loads the cache's logs, newest first (once per record).
void loadLogs(SQLite::Database& db, CGeocache& cache);

// Loads the long texts and the tags (once per record): descriptions, hint
// (with "<br>" as a line break), attributes, field note, its type and time,
// the favourite points and the travel bugs. Categories are told apart by
// their keys.
void loadDetails(SQLite::Database& db, CGeocache& cache, const TagCategories& categories);

// Category and value names of every tag of one cache, ordered by category
// name (ignoring case), then value.
std::vector<std::pair<std::string, std::string>> tagsOfCache(SQLite::Database& db, const std::string& code);

} // namespace tw

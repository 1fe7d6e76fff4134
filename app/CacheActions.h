// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class CGeocache;
class CGlobalData;
class CWaypoint;
struct NavigationTarget;

// What the cache commands do to the database and to the lists the screens
// show. A database failure has been shown when they return false or nothing.

// The cache with its details and tag keys, ready to be changed (a record
// taken from a list holds neither); nothing when it is not in the database.
std::optional<CGeocache> loadCacheForEditing(CGlobalData& global, const std::string& code);

// Loads the details and tag keys of a record taken from a list (once); a
// note written without them would become new tags beside the old ones.
bool ensureCacheDetails(CGlobalData& global, CGeocache& cache);

// Copies the found date and time, the note and the update date of a changed
// cache into the cache list and the recent list, and tells the list.
void refreshListedCache(CGlobalData& global, const CGeocache& cache);

// The cache with this code as the lists hold it (without details); nothing
// when it is not in the database. A database failure throws SQLite::Error.
std::optional<CGeocache> findCache(CGlobalData& global, const std::string& code);

// Makes the cache with this code the current one unless it already is;
// nothing happens when it is not in the database. A database failure throws
// SQLite::Error.
void makeCurrentCache(CGlobalData& global, const std::string& code);

// The user's own note on the cache.
bool setCacheComment(CGlobalData& global, CGeocache& cache, const std::string& text);

// A find (Found it) or a Didn't find it at the given local time, keeping
// the text of the cache's field note.
bool recordVisit(CGlobalData& global, CGeocache& cache, int logType, std::time_t when);

// Deletes the cache with everything the user added to it. It leaves the
// cache list and the recent list, and the counters are read again.
bool deleteCacheWithUserData(CGlobalData& global, const CGeocache& cache);

// The clipboard text of a position ("N 50°07.407' E 014°30.000'"); the text
// is read back so that parsedPoint holds what was copied.
std::string coordinatesToCopy(CGlobalData& global, double lat, double lon);

// The cache's additional waypoints that have a position.
std::vector<CWaypoint> waypointsWithPosition(CGlobalData& global, const CGeocache& cache);

NavigationTarget navigationTargetOf(const CGeocache& cache);
NavigationTarget navigationTargetOf(const CWaypoint& waypoint);

// True for the categories the program keeps its own data in (attributes,
// field notes, the import marker, ...): the tag screen leaves them alone.
bool isProgramTagCategory(const std::string& name);

// The categories the user can tag with, ordered ignoring case.
std::vector<std::string> userTagCategories(CGlobalData& global);
// The user's tags of one cache as (category, value), in the listing's order.
std::vector<std::pair<std::string, std::string>> userTagsOf(CGlobalData& global, const std::string& code);
// Tags the cache; false for an empty category or value and for the
// program's own categories.
bool addUserTag(CGlobalData& global, const std::string& code, const std::string& category, const std::string& value);
bool removeUserTag(CGlobalData& global, const std::string& code, const std::string& category,
                   const std::string& value);

// Every tag category, and the values used in one; empty while no cache
// database is open (nothing is said about that).
std::vector<std::string> tagCategoryNames(CGlobalData& global);
std::vector<std::string> tagValuesOf(CGlobalData& global, const std::string& category);

} // namespace tw

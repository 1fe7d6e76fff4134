// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CWaypoint.h"
#include "geo/FormulaSheet.h"
#include "geo/LatLon.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the waypoint screens do with the database: list, create, store and
// delete a cache's additional waypoints, and keep the cache's note (which
// holds the letter values of its formulas). Waypoints that belong to no
// cache live under the dummy cache GC0. A database failure is shown
// ("SQLite error: ...") and returned as false or an empty result.
namespace tw {

class CGlobalData;

// The waypoints of the cache with this code, in the order they were stored.
std::vector<CWaypoint> loadWaypoints(CGlobalData& global, const std::string& code);

// The first two-digit prefix from "01" that none of the waypoints uses
// ("99" when all are taken): the prefix of a waypoint the user makes.
std::string nextFreePrefix(const std::vector<CWaypoint>& waypoints);

// A new waypoint of the cache, not yet stored: a reference point at the
// cache's position (a loose waypoint at the live reference position), with
// the next free prefix, marked as the user's own.
CWaypoint newWaypointFor(CGlobalData& global, const std::string& code);

// Fills a new waypoint from text selected in a listing: a position when the
// text reads as coordinates (the two-number form completes the waypoint's
// own position), otherwise the text becomes its comment. True for a position.
bool prefillWaypointFromText(CWaypoint& waypoint, std::string_view text);

// Stores a new waypoint (key 0) or updates a stored one.
bool storeWaypoint(CGlobalData& global, CWaypoint& waypoint);
// Deletes a stored waypoint; its key is 0 afterwards.
bool removeWaypoint(CGlobalData& global, CWaypoint& waypoint);

// The personal note of the cache with this code; empty when there is none.
std::string cacheNote(CGlobalData& global, const std::string& code);
// Stores the note (which also marks the cache as updated) and brings the
// records the program holds of that cache in step.
bool storeCacheNote(CGlobalData& global, const std::string& code, const std::string& note);

// The outcome of confirming the formula dialog.
struct FormulaOutcome {
    std::string comment;                 // the waypoint comment with the formula block
    std::optional<geo::LatLon> position; // nothing: the result is no position
    bool noteStored = false;             // the variables went into the cache note
};

// Confirms a computed formula sheet for a waypoint of the cache `code`: the
// formulas become the block of `comment`, the variables (when there are any)
// the block of the cache note, which is stored at once; the result is read
// as the waypoint's new position.
FormulaOutcome applyFormulaSheet(CGlobalData& global, const geo::FormulaSheet& sheet, const std::string& code,
                                 std::string_view comment);

} // namespace tw

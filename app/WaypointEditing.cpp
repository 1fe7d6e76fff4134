// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/WaypointEditing.h"

#include "app/CGlobalData.h"
#include "db/CacheReader.h"
#include "db/CacheStore.h"
#include "db/SqlError.h"
#include "geo/CoordEntry.h"
#include "geo/FormulaBlocks.h"
#include "geo/ReferencePosition.h"
#include "platform/Clock.h"

#include <algorithm>

namespace tw {
namespace {

CacheStore storeOf(CGlobalData& global)
{
    return CacheStore(global.db.cacheDb, global.db.tagCategories, global.settings.impOnlyNew);
}

} // namespace

std::vector<CWaypoint> loadWaypoints(CGlobalData& global, const std::string& code)
{
    if (!global.db.cacheDb.IsAvailable())
        return {};
    CGeocache holder;
    holder.code = code;
    try {
        WaypointLoader(global.db.cacheDb).load(holder);
    } catch (const SQLite::Error& e) {
        global.db.cacheDb.showError(e.message);
        return {};
    }
    std::vector<CWaypoint> list;
    list.reserve(holder.waypoints.size());
    for (auto& w : holder.waypoints)
        list.push_back(std::move(*w));
    return list;
}

std::string nextFreePrefix(const std::vector<CWaypoint>& waypoints)
{
    for (int n = 1; n < 99; ++n) {
        const std::string prefix{static_cast<char>('0' + n / 10), static_cast<char>('0' + n % 10)};
        const bool used =
            std::any_of(waypoints.begin(), waypoints.end(), [&](const CWaypoint& w) { return w.prefix == prefix; });
        if (!used)
            return prefix;
    }
    return "99";
}

CWaypoint newWaypointFor(CGlobalData& global, const std::string& code)
{
    CWaypoint w;
    w.code = code;
    w.type = WaypointType::Reference;
    w.flag = 0;
    w.prefix = nextFreePrefix(loadWaypoints(global, code));
    geo::LatLon at;
    if (code != kDummyCacheCode) {
        try {
            if (auto cache = LoadCacheByCode(global.db.cacheDb, code))
                at = {cache->lat, cache->lon};
        } catch (const SQLite::Error& e) {
            global.db.cacheDb.showError(e.message);
        }
    }
    if (at.isEmpty())
        at = geo::referencePosition(global.reference.context(), true);
    w.lat = at.lat;
    w.lon = at.lon;
    return w;
}

bool prefillWaypointFromText(CWaypoint& waypoint, std::string_view text)
{
    if (const auto at = geo::readAnyCoords(text, {waypoint.lat, waypoint.lon})) {
        waypoint.lat = at->lat;
        waypoint.lon = at->lon;
        return true;
    }
    waypoint.comment = geo::trimBlank(text);
    return false;
}

bool storeWaypoint(CGlobalData& global, CWaypoint& waypoint)
{
    if (!global.db.cacheDb.IsAvailable())
        return false;
    CacheStore store = storeOf(global);
    if (waypoint.key != 0)
        return store.UpdateWaypoint(waypoint);
    waypoint.updated = todayYmd();
    return store.InsertWaypoint(waypoint);
}

bool removeWaypoint(CGlobalData& global, CWaypoint& waypoint)
{
    if (waypoint.key == 0 || !global.db.cacheDb.IsAvailable())
        return false;
    if (!storeOf(global).DeleteWaypoint(waypoint))
        return false;
    waypoint.key = 0;
    return true;
}

std::string cacheNote(CGlobalData& global, const std::string& code)
{
    if (!global.db.cacheDb.IsAvailable())
        return {};
    try {
        if (auto cache = LoadCacheByCode(global.db.cacheDb, code))
            return cache->comment;
    } catch (const SQLite::Error& e) {
        global.db.cacheDb.showError(e.message);
    }
    return {};
}

bool storeCacheNote(CGlobalData& global, const std::string& code, const std::string& note)
{
    if (!global.db.cacheDb.IsAvailable())
        return false;
    CGeocache record;
    record.code = code;
    if (!storeOf(global).SetComment(record, note))
        return false;
    auto follow = [&](CGeocache* held) {
        if (held && held->code == code)
            held->comment = note;
    };
    for (auto& c : global.list.recent)
        follow(c.get());
    for (auto& c : global.list.caches)
        follow(c.get());
    follow(global.db.dummyCache.get());
    return true;
}

FormulaOutcome applyFormulaSheet(CGlobalData& global, const geo::FormulaSheet& sheet, const std::string& code,
                                 std::string_view comment)
{
    FormulaOutcome outcome;
    outcome.comment = sheet.storeFormulas(comment);
    if (auto note = sheet.storeVariables(cacheNote(global, code)))
        outcome.noteStored = storeCacheNote(global, code, *note);
    outcome.position = sheet.resultPosition();
    return outcome;
}

} // namespace tw

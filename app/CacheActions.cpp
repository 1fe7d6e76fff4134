// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CacheActions.h"

#include "app/CGlobalData.h"
#include "app/FieldNotesJob.h"
#include "db/CacheReader.h"
#include "db/SqlError.h"
#include "geo/CoordFormat.h"
#include "geo/CoordParser.h"
#include "platform/Notifier.h"

#include <algorithm>
#include <array>

namespace tw {

std::optional<CGeocache> loadCacheForEditing(CGlobalData& g, const std::string& code)
{
    if (!g.db.cacheDb.IsAvailable())
        return std::nullopt;
    try {
        std::optional<CGeocache> cache = LoadCacheByCode(g.db.cacheDb, code);
        if (cache)
            loadDetails(g.db.cacheDb, *cache, g.db.tagCategories);
        return cache;
    } catch (const SQLite::Error& e) {
        g.db.cacheDb.showPlain(e.message);
        return std::nullopt;
    }
}

void refreshListedCache(CGlobalData& g, const CGeocache& cache)
{
    auto update = [&](std::vector<std::unique_ptr<CGeocache>>& list) {
        for (auto& entry : list) {
            if (entry.get() == &cache || entry->code != cache.code)
                continue;
            entry->found = cache.found;
            entry->foundTime = cache.foundTime;
            entry->comment = cache.comment;
            entry->updated = cache.updated;
        }
    };
    update(g.list.caches);
    update(g.list.recent);
    g.notifier.stateChanged(Topic::CacheList);
}

bool setCacheComment(CGlobalData& g, CGeocache& cache, const std::string& text)
{
    if (!g.db.cacheDb.IsAvailable())
        return false;
    if (!g.db.cacheStore().SetComment(cache, text))
        return false;
    refreshListedCache(g, cache);
    return true;
}

bool ensureCacheDetails(CGlobalData& g, CGeocache& cache)
{
    if (cache.detailsLoaded)
        return true;
    try {
        loadDetails(g.db.cacheDb, cache, g.db.tagCategories);
        return true;
    } catch (const SQLite::Error& e) {
        g.db.cacheDb.showPlain(e.message);
        return false;
    }
}

bool recordVisit(CGlobalData& g, CGeocache& cache, int logType, std::time_t when)
{
    if (!g.db.cacheDb.IsAvailable() || !ensureCacheDetails(g, cache))
        return false;
    const std::string text = cache.fieldNoteText;
    return saveFieldNote(g, cache, logType, text, when);
}

bool deleteCacheWithUserData(CGlobalData& g, const CGeocache& cache)
{
    if (!g.db.cacheDb.IsAvailable())
        return false;
    // The record may be an entry of the lists cleared below.
    const std::string code = cache.code;
    if (!g.db.cacheStore().DeleteCache(cache, false))
        return false;
    const auto isIt = [&](const std::unique_ptr<CGeocache>& c) { return c->code == code; };
    g.list.listedCount -= static_cast<int>(std::erase_if(g.list.caches, isIt));
    g.list.listedCount = std::max(g.list.listedCount, 0);
    if (std::erase_if(g.list.recent, isIt) > 0)
        g.list.SaveRecent();
    g.notifier.stateChanged(Topic::CacheList);
    return true;
}

std::string coordinatesToCopy(CGlobalData& g, double lat, double lon)
{
    const std::string text = geo::formatCoords(lat, lon, geo::CoordStyle::Letters);
    if (const auto point = geo::parseCoords(text))
        g.reference.parsedPoint = *point;
    return text;
}

std::vector<CWaypoint> waypointsWithPosition(CGlobalData& g, const CGeocache& cache)
{
    std::vector<CWaypoint> found;
    if (!g.db.cacheDb.IsAvailable())
        return found;
    CGeocache copy = cache; // a copy holds no waypoints yet
    try {
        WaypointLoader(g.db.cacheDb).load(copy);
    } catch (const SQLite::Error& e) {
        g.db.cacheDb.showPlain(e.message);
    }
    for (const auto& w : copy.waypoints)
        if (w->lat != 0.0 || w->lon != 0.0)
            found.push_back(*w);
    return found;
}

NavigationTarget navigationTargetOf(const CGeocache& cache)
{
    return {cache.name, cache.code, cache.lat, cache.lon};
}

NavigationTarget navigationTargetOf(const CWaypoint& waypoint)
{
    return {waypoint.name, waypoint.code, waypoint.lat, waypoint.lon};
}

bool isProgramTagCategory(const std::string& name)
{
    namespace N = TagCategoryName;
    static constexpr std::array kOwn{N::Attribute,     N::FieldNote,  N::FieldNoteType, N::FieldNoteTime,
                                     N::FieldNoteSent, N::LastImport, N::GcImage,       N::Favorites};
    return std::any_of(kOwn.begin(), kOwn.end(), [&](const char* own) { return name == own; });
}

std::vector<std::string> userTagCategories(CGlobalData& g)
{
    std::vector<std::string> names;
    if (!g.db.cacheDb.IsAvailable())
        return names;
    names = ListCategories(g.db.cacheDb);
    std::erase_if(names, isProgramTagCategory);
    return names;
}

std::vector<std::pair<std::string, std::string>> userTagsOf(CGlobalData& g, const std::string& code)
{
    std::vector<std::pair<std::string, std::string>> tags;
    if (!g.db.cacheDb.IsAvailable())
        return tags;
    try {
        tags = tagsOfCache(g.db.cacheDb, code);
    } catch (const SQLite::Error& e) {
        g.db.cacheDb.showPlain(e.message);
    }
    std::erase_if(tags, [](const auto& tag) { return isProgramTagCategory(tag.first); });
    return tags;
}

} // namespace tw

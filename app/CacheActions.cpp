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

std::optional<CGeocache> loadCacheForEditing(CGlobalData& global, const std::string& code)
{
    if (!global.db.cacheDb.IsAvailable())
        return std::nullopt;
    try {
        std::optional<CGeocache> cache = LoadCacheByCode(global.db.cacheDb, code);
        if (cache)
            loadDetails(global.db.cacheDb, *cache, global.db.tagCategories);
        return cache;
    } catch (const SQLite::Error& e) {
        global.db.cacheDb.showPlain(e.message);
        return std::nullopt;
    }
}

void refreshListedCache(CGlobalData& global, const CGeocache& cache)
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
    update(global.list.caches);
    update(global.list.recent);
    global.notifier.stateChanged(Topic::CacheList);
}

std::optional<CGeocache> findCache(CGlobalData& global, const std::string& code)
{
    return LoadCacheByCode(global.db.cacheDb, code);
}

void makeCurrentCache(CGlobalData& global, const std::string& code)
{
    const CGeocache* current = global.list.currentCache();
    if (const auto cache = findCache(global, code); cache && (!current || current->code != code))
        global.list.setCurrentCache(*cache);
}

bool setCacheComment(CGlobalData& global, CGeocache& cache, const std::string& text)
{
    if (!global.db.cacheDb.IsAvailable())
        return false;
    if (!global.db.cacheStore().SetComment(cache, text))
        return false;
    refreshListedCache(global, cache);
    return true;
}

bool ensureCacheDetails(CGlobalData& global, CGeocache& cache)
{
    if (cache.detailsLoaded)
        return true;
    try {
        loadDetails(global.db.cacheDb, cache, global.db.tagCategories);
        return true;
    } catch (const SQLite::Error& e) {
        global.db.cacheDb.showPlain(e.message);
        return false;
    }
}

bool recordVisit(CGlobalData& global, CGeocache& cache, int logType, std::time_t when)
{
    if (!global.db.cacheDb.IsAvailable() || !ensureCacheDetails(global, cache))
        return false;
    const std::string text = cache.fieldNoteText;
    return saveFieldNote(global, cache, logType, text, when);
}

bool deleteCacheWithUserData(CGlobalData& global, const CGeocache& cache)
{
    if (!global.db.cacheDb.IsAvailable())
        return false;
    // The record may be an entry of the lists cleared below.
    const std::string code = cache.code;
    if (!global.db.cacheStore().DeleteCache(cache, false))
        return false;
    const auto isIt = [&](const std::unique_ptr<CGeocache>& c) { return c->code == code; };
    global.list.listedCount -= static_cast<int>(std::erase_if(global.list.caches, isIt));
    global.list.listedCount = std::max(global.list.listedCount, 0);
    if (std::erase_if(global.list.recent, isIt) > 0)
        global.list.SaveRecent();
    global.notifier.stateChanged(Topic::CacheList);
    return true;
}

std::string coordinatesToCopy(CGlobalData& global, double lat, double lon)
{
    const std::string text = geo::formatCoords(lat, lon, geo::CoordStyle::Letters);
    if (const auto point = geo::parseCoords(text))
        global.reference.parsedPoint = *point;
    return text;
}

std::vector<CWaypoint> waypointsWithPosition(CGlobalData& global, const CGeocache& cache)
{
    std::vector<CWaypoint> found;
    if (!global.db.cacheDb.IsAvailable())
        return found;
    CGeocache copy = cache; // a copy holds no waypoints yet
    try {
        WaypointLoader(global.db.cacheDb).load(copy);
    } catch (const SQLite::Error& e) {
        global.db.cacheDb.showPlain(e.message);
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

std::vector<std::string> userTagCategories(CGlobalData& global)
{
    std::vector<std::string> names;
    if (!global.db.cacheDb.IsAvailable())
        return names;
    names = ListCategories(global.db.cacheDb);
    std::erase_if(names, isProgramTagCategory);
    return names;
}

std::vector<std::pair<std::string, std::string>> userTagsOf(CGlobalData& global, const std::string& code)
{
    std::vector<std::pair<std::string, std::string>> tags;
    if (!global.db.cacheDb.IsAvailable())
        return tags;
    try {
        tags = tagsOfCache(global.db.cacheDb, code);
    } catch (const SQLite::Error& e) {
        global.db.cacheDb.showPlain(e.message);
    }
    std::erase_if(tags, [](const auto& tag) { return isProgramTagCategory(tag.first); });
    return tags;
}

bool addUserTag(CGlobalData& global, const std::string& code, const std::string& category, const std::string& value)
{
    if (category.empty() || value.empty() || isProgramTagCategory(category) || !global.db.cacheDbAvailable())
        return false;
    return AddTag(global.db.cacheDb, code, category, value);
}

bool removeUserTag(CGlobalData& global, const std::string& code, const std::string& category,
                   const std::string& value)
{
    if (!global.db.cacheDbAvailable())
        return false;
    return RemoveTag(global.db.cacheDb, code, category, value);
}

std::vector<std::string> tagCategoryNames(CGlobalData& global)
{
    if (!global.db.cacheDbOpen())
        return {};
    return ListCategories(global.db.cacheDb);
}

std::vector<std::string> tagValuesOf(CGlobalData& global, const std::string& category)
{
    if (!global.db.cacheDbOpen())
        return {};
    return ListValues(global.db.cacheDb, category);
}

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
// The cache list: loading through the filter, the row checks SQL cannot do
// cheaply, sorting and the counters of the status line.
#include "app/CacheList.h"

#include "app/CGlobalData.h"
#include "db/CacheStore.h"
#include "exchange/FieldNotes.h"
#include "filter/QueryBuilder.h"
#include "geo/GeoMath.h"
#include "platform/Notifier.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <numeric>
#include <string>

namespace tw {
namespace {

// Upper case per character, as the list has always compared names: no
// locale rules, no change of length.
std::u16string upperKey(const std::string& utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0)
            c = 0xFFFD;
        c = u_toupper(c);
        if (c <= 0xFFFF) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(U16_LEAD(c)));
            out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        }
    }
    return out;
}

// What one cache is compared by under one sort key, worked out once.
struct Key {
    std::u16string text;
    double first = 0.0;
    double second = 0.0;
};

Key keyOf(const CGeocache& c, const CacheOrder& order)
{
    Key k;
    switch (order.sortKey) {
    case SortKey::Name: k.text = upperKey(c.name); break;
    case SortKey::Distance: k.first = geo::distanceKm(order.reference, {c.lat, c.lon}); break;
    case SortKey::Author: k.text = upperKey(c.author); break;
    case SortKey::Difficulty: k.first = c.difficulty; break;
    case SortKey::Terrain: k.first = c.terrain; break;
    case SortKey::Hidden: k.first = c.hidden; break;
    case SortKey::Size: k.first = cacheSizeSortRank(c.size); break;
    case SortKey::Found:
        k.first = c.found;
        k.second = c.foundTime;
        break;
    default: break;
    }
    return k;
}

bool lessKey(const Key& a, const Key& b, int sortKey)
{
    if (sortKey == SortKey::Name || sortKey == SortKey::Author)
        return a.text < b.text;
    if (a.first != b.first)
        return a.first < b.first;
    return a.second < b.second;
}

int countOf(SQLite::Statement& query)
{
    return query.Next() ? static_cast<int>(query.ColumnDouble(0)) : 0;
}

} // namespace

bool CompareCaches(const CGeocache& a, const CGeocache& b, const CacheOrder& order)
{
    const Key ka = keyOf(a, order);
    const Key kb = keyOf(b, order);
    // Reversing the operands, not negating the result: a negated "less" is
    // no ordering at all, and a sort given one may run off the list.
    return order.ascending ? lessKey(ka, kb, order.sortKey) : lessKey(kb, ka, order.sortKey);
}

void sortCaches(std::vector<std::unique_ptr<CGeocache>>& caches, const CacheOrder& order)
{
    std::vector<Key> keys;
    keys.reserve(caches.size());
    for (const auto& c : caches)
        keys.push_back(keyOf(*c, order));
    std::vector<std::size_t> index(caches.size());
    std::iota(index.begin(), index.end(), std::size_t{0});
    std::stable_sort(index.begin(), index.end(), [&](std::size_t a, std::size_t b) {
        return order.ascending ? lessKey(keys[a], keys[b], order.sortKey) : lessKey(keys[b], keys[a], order.sortKey);
    });
    std::vector<std::unique_ptr<CGeocache>> sorted;
    sorted.reserve(caches.size());
    for (const std::size_t i : index)
        sorted.push_back(std::move(caches[i]));
    caches = std::move(sorted);
}

void CGlobalData::LoadFilter()
{
    m_settingsFile.reload();
    filter.Load(m_settingsFile);
}

void CGlobalData::SaveFilter()
{
    m_settingsFile.reload();
    filter.Save(m_settingsFile);
    m_settingsFile.save();
}

std::filesystem::path CGlobalData::filterFolder() const
{
    return paths.deviceFolder(settings.mapFolder) / "filter";
}

geo::ReferenceContext CGlobalData::referenceContext() const
{
    geo::ReferenceContext context;
    context.refPoint = filter.refPoint;
    context.manualPoint = {filter.manLat, filter.manLon};
    context.home = {settings.homeLat, settings.homeLon};
    context.metricUnits = settings.metricUnits != 0;
    context.gps = livePosition;
    context.map = mapCentre;
    return context;
}

bool CGlobalData::readCaches()
{
    if (!cacheDb.IsAvailable())
        return false;
    Log("BEGIN: CGlobalData::readCaches");
    caches.clear();
    listedCount = 0;

    const geo::ReferenceContext context = referenceContext();
    const geo::LatLon reference = geo::referencePosition(context, false);
    QueryInputs inputs;
    inputs.refLat = reference.lat;
    inputs.refLon = reference.lon;
    inputs.nickname = settings.nickname;
    inputs.maxRows = settings.maxRows;
    if (filter.useTag != 0 && filter.code.empty()) {
        inputs.tagCategoryKey = GetCategoryKey(cacheDb, filter.tagCategory, false);
        if (!filter.tagValue.empty())
            inputs.tagValueKey = GetValueKey(cacheDb, filter.tagValue);
    }
    // Without the tag (mode 2): a category or value that does not exist is
    // carried by no cache, so nothing is dropped for it.
    const bool dropTagged =
        filter.useTag == 2 && inputs.tagCategoryKey != 0 && (filter.tagValue.empty() || inputs.tagValueKey != 0);

    bool read = true;
    try {
        const CacheQuery query = BuildCacheQuery(filter, inputs);
        WaypointLoader waypoints(cacheDb, waypointTypesOf(filter));
        const auto take = [&](const SQLite::Statement& row) {
            auto cache = std::make_unique<CGeocache>(geocacheFromRow(row, &waypoints));
            if (filter.code.empty()) {
                if (filter.distanceKm != 0.0 &&
                    geo::distanceKm(reference, {cache->lat, cache->lon}) > filter.distanceKm)
                    return;
                if (filter.mustHaveFinal && !cache->hasFinal)
                    return;
                if (dropTagged && hasTagKeys(cacheDb, cache->code, inputs.tagCategoryKey, inputs.tagValueKey))
                    return;
            }
            caches.push_back(std::move(cache));
            ++listedCount;
        };
        if (!query.keySql.empty()) {
            // The nearest rows picked from their keys and positions, then
            // read whole one by one: the same rows in the same order.
            SQLite::Statement row(cacheDb, "SELECT * FROM `geocache` WHERE `key` = ?");
            for (const std::int64_t key : nearestKeys(cacheDb, query)) {
                row.Reset();
                row.BindInt(1, key);
                if (row.Next())
                    take(row);
            }
        } else {
            SQLite::Statement rows(cacheDb, query.sql);
            query.bind(rows);
            while (rows.Next())
                take(rows);
        }
    } catch (const SQLite::Error& e) {
        cacheDb.showPlain(e.message);
        read = false;
    }

    sortCaches(caches, {sortKey, sortAscending != 0, reference});
    const auto maxRows = static_cast<std::size_t>(std::max(settings.maxRows, 0));
    if (caches.size() > maxRows) {
        caches.resize(maxRows);
        listedCount = static_cast<int>(maxRows);
    }
    Log("END: CGlobalData::readCaches");
    notifier.stateChanged(Topic::CacheList);
    notifier.stateChanged(Topic::Counters);
    return read;
}

void CGlobalData::refreshFoundCount()
{
    if (!cacheDb.IsAvailable())
        return;
    try {
        SQLite::Statement query(cacheDb, "SELECT COUNT(*) FROM `geocache` WHERE `dtfound` > 0");
        settings.foundCount = countOf(query);
    } catch (const SQLite::Error& e) {
        cacheDb.showPlain(e.message);
        return;
    }
    SaveSettings(SettingsGroup::General);
    notifier.stateChanged(Topic::Counters);
}

int CGlobalData::findNumber(int date, int time)
{
    if (!cacheDb.IsAvailable())
        return 0;
    try {
        return findNumberOf(cacheDb, date, time, settings.findsCountExtra);
    } catch (const SQLite::Error& e) {
        cacheDb.showPlain(e.message);
        return 0;
    }
}

} // namespace tw

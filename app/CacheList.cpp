// SPDX-License-Identifier: GPL-3.0-or-later
// The cache list: loading through the filter, the row checks SQL cannot do
// cheaply, the recent caches and the counters of the status line.
#include "app/CacheList.h"

#include "app/ProgramLog.h"
#include "app/ReferenceSources.h"
#include "app/SettingsFile.h"
#include "db/CacheStore.h"
#include "db/SqlError.h"
#include "exchange/FieldNotes.h"
#include "filter/QueryBuilder.h"
#include "geo/GeoMath.h"
#include "platform/Notifier.h"
#include "platform/Paths.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>

namespace tw {
namespace {

constexpr const char* kState = "State";
// 1: searched lists by relevance, 0: in the list's sort order.
constexpr const char* kSearchOrder = "SearchByRelevance";

int countOf(SQLite::Statement& query)
{
    return query.Next() ? static_cast<int>(query.ColumnDouble(0)) : 0;
}

} // namespace

void CacheList::loadFilter()
{
    IniFile& ini = m_settingsFile.reloaded();
    filter.Load(ini);
}

void CacheList::saveFilter()
{
    IniFile& ini = m_settingsFile.reloaded();
    filter.Save(ini);
    ini.save();
}

std::filesystem::path CacheList::filterFolder() const
{
    return m_paths.deviceFolder(m_settings.mapFolder) / "filter";
}

bool CacheList::readCaches()
{
    return readCaches(m_settings.maxRows);
}

void CacheList::trimToMaxRows()
{
    const auto maxRows = static_cast<std::size_t>(std::max(m_settings.maxRows, 1));
    if (caches.size() > maxRows) {
        caches.resize(maxRows);
        listedCount = static_cast<int>(maxRows);
    }
}

void readFilteredCaches(SQLite::Database& cacheDb, const CacheFilter& filter, const ListReading& reading,
                        CachePositions* positions, std::vector<std::unique_ptr<CGeocache>>& caches)
{
    const geo::LatLon reference = reading.reference;
    QueryInputs inputs;
    inputs.refLat = reference.lat;
    inputs.refLon = reference.lon;
    inputs.nickname = reading.nickname;
    inputs.maxRows = reading.rowLimit;
    inputs.byRelevance = reading.order.sortKey == SortKey::Relevance;
    if (filter.useTag != 0 && filter.code.empty()) {
        inputs.tagCategoryKey = GetCategoryKey(cacheDb, filter.tagCategory, false);
        if (!filter.tagValue.empty())
            inputs.tagValueKey = GetValueKey(cacheDb, filter.tagValue);
    }
    // Without the tag (mode 2): a category or value that does not exist is
    // carried by no cache, so nothing is dropped for it.
    const bool dropTagged =
        filter.useTag == 2 && inputs.tagCategoryKey != 0 && (filter.tagValue.empty() || inputs.tagValueKey != 0);

    const CacheQuery query = BuildCacheQuery(filter, inputs);
    WaypointLoader waypoints(cacheDb, waypointTypesOf(filter));
    const auto take = [&](const SQLite::Statement& row) {
        auto cache = std::make_unique<CGeocache>(geocacheFromRow(row, &waypoints));
        if (row.columnCount() > kRelevanceColumn)
            cache->textRank = row.ColumnDouble(kRelevanceColumn);
        if (filter.code.empty()) {
            if (filter.distanceKm != 0.0 && geo::distanceKm(reference, {cache->lat, cache->lon}) > filter.distanceKm)
                return;
            if (filter.mustHaveFinal && !cache->hasFinal)
                return;
            if (dropTagged && hasTagKeys(cacheDb, cache->code, inputs.tagCategoryKey, inputs.tagValueKey))
                return;
        }
        caches.push_back(std::move(cache));
    };
    if (!query.keySql.empty()) {
        // The nearest rows picked from their keys and positions, then
        // read whole one by one: the same rows in the same order.
        SQLite::Statement row(cacheDb, "SELECT * FROM `geocache` WHERE `key` = ?");
        for (const std::int64_t key : nearestKeys(cacheDb, query, positions)) {
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
}

void orderAndCut(std::vector<std::unique_ptr<CGeocache>>& caches, const ListReading& reading)
{
    sortCaches(caches, reading.order);
    if (reading.rowLimit >= 0 && caches.size() > static_cast<std::size_t>(reading.rowLimit))
        caches.resize(static_cast<std::size_t>(reading.rowLimit));
}

ListReading CacheList::reading(int rowLimit) const
{
    const geo::ReferenceContext context = m_reference.context();
    const geo::LatLon reference = geo::referencePosition(context, false);
    // A list narrowed by a text query may come best match first instead.
    const bool byRelevance = !filter.textQuery.empty() && searchByRelevance();
    return {reference, m_settings.nickname, rowLimit,
            {byRelevance ? SortKey::Relevance : sortKey, byRelevance || sortAscending != 0, reference}};
}

bool CacheList::readCaches(int rowLimit)
{
    SQLite::Database& cacheDb = m_cacheDb;
    if (!cacheDb.IsAvailable())
        return false;
    m_log.write("BEGIN: CGlobalData::readCaches");
    caches.clear();
    listedCount = 0;
    searched = false;
    snippets.clear();

    const ListReading how = reading(rowLimit);
    bool read = true;
    try {
        readFilteredCaches(cacheDb, filter, how, &m_positions, caches);
    } catch (const SQLite::Error& e) {
        cacheDb.showPlain(e.message);
        read = false;
    }
    orderAndCut(caches, how);
    listedCount = static_cast<int>(caches.size());
    m_log.write("END: CGlobalData::readCaches");
    m_notifier.stateChanged(Topic::CacheList);
    m_notifier.stateChanged(Topic::Counters);
    return read;
}

void CacheList::takeSearched(std::vector<std::unique_ptr<CGeocache>> found,
                             std::unordered_map<int, std::string> foundSnippets, bool narrowed)
{
    caches = std::move(found);
    listedCount = static_cast<int>(caches.size());
    snippets = std::move(foundSnippets);
    searched = narrowed;
    m_notifier.stateChanged(Topic::CacheList);
    m_notifier.stateChanged(Topic::Counters);
}

bool CacheList::searchByRelevance() const
{
    if (m_byRelevance < 0)
        m_byRelevance = m_settingsFile.reloaded().getInt(kState, kSearchOrder).value_or(0) != 0 ? 1 : 0;
    return m_byRelevance != 0;
}

void CacheList::setSearchByRelevance(bool on)
{
    m_byRelevance = on ? 1 : 0;
    IniFile& ini = m_settingsFile.reloaded();
    ini.setInt(kState, kSearchOrder, m_byRelevance);
    ini.save();
}

void CacheList::SaveRecent()
{
    IniFile& ini = m_settingsFile.reloaded();
    for (int n = 0; n < kMaxRecent; ++n) {
        const std::size_t i = static_cast<std::size_t>(n);
        ini.setString(kState, "recent" + std::to_string(n), i < recent.size() ? recent[i]->code : "");
    }
    ini.save();
}

void CacheList::LoadRecent()
{
    SQLite::Database& cacheDb = m_cacheDb;
    if (!cacheDb.IsAvailable())
        return;
    IniFile& ini = m_settingsFile.reloaded();
    recent.clear();
    try {
        for (int n = 0; n < kMaxRecent; ++n) {
            const std::string code = ini.getString(kState, "recent" + std::to_string(n)).value_or("");
            if (code.empty())
                continue;
            SQLite::Statement query(cacheDb, "SELECT * FROM geocache WHERE id = ?");
            query.BindText(1, code);
            if (query.Step() == SQLITE_ROW)
                recent.push_back(std::make_unique<CGeocache>(geocacheFromRow(query)));
        }
    } catch (const SQLite::Error& e) {
        cacheDb.showPlain(e.message);
    }
}

void CacheList::setCurrentCache(const CGeocache& cache)
{
    std::erase_if(recent, [&](const auto& c) { return c->code == cache.code; });
    recent.insert(recent.begin(), std::make_unique<CGeocache>(cache));
    if (recent.size() > static_cast<std::size_t>(kMaxRecent))
        recent.resize(kMaxRecent);
    SaveRecent();
}

void CacheList::refreshFoundCount()
{
    SQLite::Database& cacheDb = m_cacheDb;
    if (!cacheDb.IsAvailable())
        return;
    try {
        SQLite::Statement query(cacheDb, "SELECT COUNT(*) FROM `geocache` WHERE `dtfound` > 0");
        m_settings.foundCount = countOf(query);
    } catch (const SQLite::Error& e) {
        cacheDb.showPlain(e.message);
        return;
    }
    m_settingsFile.save(SettingsGroup::General);
    m_notifier.stateChanged(Topic::Counters);
}

int CacheList::findNumber(int date, int time)
{
    SQLite::Database& cacheDb = m_cacheDb;
    if (!cacheDb.IsAvailable())
        return 0;
    try {
        return findNumberOf(cacheDb, date, time, m_settings.findsCountExtra);
    } catch (const SQLite::Error& e) {
        cacheDb.showPlain(e.message);
        return 0;
    }
}

} // namespace tw

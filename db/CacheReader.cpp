// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheReader.h"

#include "db/CacheStore.h"
#include "db/TravelBugs.h"
#include "platform/Text.h"

#include <sqlite3.h>

#include <cmath>

namespace tw {
namespace {

// Integer columns were written by several programs over the years, some as
// REAL: read them as doubles and truncate.
int intColumn(const SQLite::Statement& row, int index)
{
    return static_cast<int>(row.ColumnDouble(index));
}

} // namespace

std::string waypointQueryFor(const WaypointTypeSelection& types, const std::string& code)
{
    std::string sql = "SELECT *  FROM `waypoint` WHERE `id` = ?";
    if (code == kDummyCacheCode)
        return sql;
    std::string list;
    int selected = 0;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (!types[i])
            continue;
        if (selected++ > 0)
            list += " OR ";
        list += "`wpttype` LIKE '" + waypointTypeText(static_cast<int>(i)) + "'";
    }
    if (selected > 0 && selected < static_cast<int>(types.size()))
        sql += " AND (" + list + ")";
    return sql;
}

void WaypointLoader::load(CGeocache& cache)
{
    if (cache.waypointsLoaded)
        return;
    std::optional<SQLite::Statement>& slot = cache.code == kDummyCacheCode ? m_every : m_selected;
    if (!slot)
        slot.emplace(m_db, waypointQueryFor(cache.code == kDummyCacheCode ? kAllWaypointTypes : m_types,
                                            cache.code));
    SQLite::Statement& query = *slot;
    query.Reset();
    query.BindText(1, cache.code);
    while (query.Next()) {
        auto waypoint = std::make_unique<CWaypoint>(waypointFromRow(query));
        if (waypoint->type == WaypointType::Final && (waypoint->lat != 0.0 || waypoint->lon != 0.0))
            cache.hasFinal = 1;
        cache.waypoints.push_back(std::move(waypoint));
    }
    query.Reset();
    cache.waypointsLoaded = 1;
}

CGeocache geocacheFromRow(const SQLite::Statement& row, WaypointLoader* waypoints)
{
    CGeocache c;
    c.key = row.ColumnInt(0);
    c.code = row.ColumnText(1);
    c.guid = row.ColumnText(2);
    c.lat = row.ColumnDouble(3);
    c.lon = row.ColumnDouble(4);
    c.name = row.ColumnText(5);
    c.author = row.ColumnText(6);
    c.type = cacheTypeFromText(row.ColumnText(7));
    c.size = cacheSizeFromText(row.ColumnText(8));
    c.difficulty = static_cast<int>(std::trunc(row.ColumnDouble(9) * 10.0));
    c.terrain = static_cast<int>(std::trunc(row.ColumnDouble(10) * 10.0));
    const int status = intColumn(row, 12);
    c.status = status == 1 || status == 2 ? status : 0;
    c.hidden = intColumn(row, 14);
    c.updated = intColumn(row, 16);
    c.comment = text::storedToShown(row.ColumnText(17));
    c.foundTime = intColumn(row, 18);
    c.found = intColumn(row, 19);
    c.country = row.ColumnText(20);
    c.state = row.ColumnText(21);
    c.cacheId = intColumn(row, 22);
    c.ownerId = intColumn(row, 23);
    if (c.type == CacheType::Unknown || c.type == CacheType::Multi) {
        if (waypoints) {
            waypoints->load(c);
        } else {
            WaypointLoader every(row.database());
            every.load(c);
        }
    } else {
        c.hasFinal = 1;
    }
    return c;
}

CWaypoint waypointFromRow(const SQLite::Statement& row)
{
    CWaypoint w;
    w.key = row.ColumnInt(0);
    w.code = row.ColumnText(1);
    w.guid = row.ColumnText(2);
    w.lat = row.ColumnDouble(3);
    w.lon = row.ColumnDouble(4);
    w.name = row.ColumnText(5);
    w.prefix = row.ColumnText(6);
    w.extra = row.ColumnText(7);
    w.type = waypointTypeFromText(row.ColumnText(8));
    w.text = text::storedToShown(row.ColumnText(9));
    w.comment = text::storedToShown(row.ColumnText(10));
    w.flag = intColumn(row, 11);
    w.updated = intColumn(row, 12);
    return w;
}

CGeoLog logFromRow(const SQLite::Statement& row)
{
    CGeoLog log;
    log.date = intColumn(row, 2);
    log.type = logTypeFromText(row.ColumnText(3));
    log.finder = row.ColumnText(4);
    log.text = DecompressText(row.ColumnBlob(5));
    log.logId = intColumn(row, 6);
    log.finderId = intColumn(row, 7);
    return log;
}

std::optional<CGeocache> LoadCacheByCode(SQLite::Database& db, const std::string& code)
{
    SQLite::Statement query(db, "SELECT * FROM `geocache` WHERE `id` = ?");
    query.BindText(1, code);
    if (!query.Next())
        return std::nullopt;
    return geocacheFromRow(query);
}

void loadLogs(SQLite::Database& db, CGeocache& cache)
{
    if (cache.logsLoaded)
        return;
    SQLite::Statement query(db, "SELECT *  FROM `geolog` WHERE `id` = ? ORDER BY dt DESC");
    query.BindText(1, cache.code);
    while (query.Next())
        cache.logs.push_back(std::make_unique<CGeoLog>(logFromRow(query)));
    cache.logsLoaded = 1;
}

void loadDetails(SQLite::Database& db, CGeocache& cache, const TagCategories& categories)
{
    if (cache.detailsLoaded)
        return;
    {
        SQLite::Statement texts(db, "SELECT * FROM `geolist` WHERE `id` = ?");
        texts.BindText(1, cache.code);
        if (texts.Next()) {
            cache.text = DecompressText(texts.ColumnBlob(2));
            cache.shortDescHtml = intColumn(texts, 3);
            cache.longDesc = DecompressText(texts.ColumnBlob(4));
            cache.longDescHtml = intColumn(texts, 5);
            cache.hint = text::storedToShown(text::replaceAll(texts.ColumnText(6), "<br>", "\r\n"));
        }
    }

    cache.attributes.clear();
    cache.fieldNoteText.clear();
    cache.fieldNoteType = 0;
    cache.fieldNoteTime.clear();
    cache.fieldNoteTextTag = cache.fieldNoteTypeTag = cache.fieldNoteTimeTag = 0;
    SQLite::Statement tags(db, "SELECT `geotag`.`ptrkat`, `geotagvalue`.`value`, `geotag`.`key` FROM `geotag` "
                               "JOIN `geotagvalue` WHERE `geotag`.`id` = ? AND `geotagvalue`.`key` = "
                               "`geotag`.`ptrvalue`");
    tags.BindText(1, cache.code);
    while (tags.Next()) {
        const int category = tags.ColumnInt(0);
        if (category == 0)
            continue; // an unresolved category key must not match stray rows
        const std::string value = tags.ColumnText(1);
        const int tagKey = tags.ColumnInt(2);
        if (category == categories.attribute) {
            cache.attributes.push_back(value);
        } else if (category == categories.fieldNote) {
            cache.fieldNoteText = text::replaceAll(value, "//", "\r\n");
            cache.fieldNoteTextTag = tagKey;
        } else if (category == categories.fieldNoteType) {
            cache.fieldNoteType = logTypeFromText(value);
            cache.fieldNoteTypeTag = tagKey;
        } else if (category == categories.fieldNoteTime) {
            cache.fieldNoteTime = value;
            cache.fieldNoteTimeTag = tagKey;
        } else if (category == categories.favorites) {
            cache.favorites = value;
        }
    }
    cache.travelBugs = loadTravelBugs(db, cache.code);
    cache.detailsLoaded = 1;
}

std::vector<std::pair<std::string, std::string>> tagsOfCache(SQLite::Database& db, const std::string& code)
{
    SQLite::Statement query(db, "SELECT `geotagcategory`.`value`, `geotagvalue`.`value` FROM `geotag`, "
                                "`geotagcategory`, `geotagvalue` WHERE `geotag`.`ptrkat` = `geotagcategory`.`key` "
                                "AND `geotag`.`ptrvalue` = `geotagvalue`.`key` AND `geotag`.`id` = ? ORDER BY "
                                "UPPER(`geotagcategory`.`value`), `geotagvalue`.`value`");
    query.BindText(1, code);
    std::vector<std::pair<std::string, std::string>> out;
    while (query.Next())
        out.emplace_back(query.ColumnText(0), query.ColumnText(1));
    return out;
}

} // namespace tw

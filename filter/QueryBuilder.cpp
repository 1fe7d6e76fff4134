// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter/QueryBuilder.h"

#include "db/SQLite.h"
#include "geo/GeoMath.h"
#include "platform/Numbers.h"
#include "platform/Text.h"

#include <cmath>

namespace tw {
namespace {

// Type names of the ten cache-type selections; the last one is "any other".
constexpr const char* kTypeNames[CacheFilter::kCacheTypeSlots - 1] = {
    "Traditional Cache", "Multi-cache",      "Unknown Cache", "Earthcache",   "Wherigo Cache",
    "Webcam Cache",      "Letterbox Hybrid", "Event Cache",   "Virtual Cache"};

constexpr const char* kNotAnyKnownType =
    "NOT `cachetype` IN('Earthcache','Event Cache','Letterbox Hybrid','Multi-cache','Traditional Cache',"
    "'Unknown Cache','Virtual Cache','Webcam Cache','Wherigo Cache')";

// Coordinates as a text of six decimals would give them: the box and the
// ordering are the same whichever way the numbers reach the database.
double sixDecimals(double value)
{
    return num::parseDouble(num::formatFixed(value, 6)).value_or(value);
}

class Builder {
public:
    // Adds a parameter and returns its placeholder.
    std::string param(CacheQuery::Param value)
    {
        params.push_back(std::move(value));
        return "?" + std::to_string(params.size());
    }

    // "`column` LIKE ?" for a pattern of any length.
    std::string like(const char* column, const std::string& pattern, bool negate = false)
    {
        if (pattern.size() > kLongLikePattern)
            return std::string(negate ? "NOT " : "") + "like_unbounded(" + param(pattern) + ", " + column + ")";
        return std::string(column) + (negate ? " NOT LIKE " : " LIKE ") + param(pattern);
    }

    std::vector<CacheQuery::Param> params;
};

} // namespace

void CacheQuery::bind(SQLite::Statement& statement) const
{
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        if (const auto* n = std::get_if<std::int64_t>(&params[i]))
            statement.BindInt(index, *n);
        else if (const auto* d = std::get_if<double>(&params[i]))
            statement.BindDouble(index, *d);
        else
            statement.BindText(index, std::get<std::string>(params[i]));
    }
}

int queryRowLimit(int maxRows, double distanceKm)
{
    if (distanceKm <= 0.0)
        return maxRows;
    return static_cast<int>(maxRows < 100 ? maxRows * 1.5 : maxRows * 1.2);
}

CacheQuery BuildCacheQuery(const CacheFilter& f, const QueryInputs& in)
{
    Builder b;
    std::string sql;
    const bool withDistance = f.distanceKm > 0.0;
    if (!f.code.empty()) {
        // The dummy cache holds the user's loose waypoints; it is never listed,
        // whatever pattern is typed.
        sql = "SELECT * FROM `geocache` WHERE " + b.like("`id`", "GC" + text::replaceAll(f.code, "*", "%")) +
              " AND `id` <> 'GC0' ";
    } else {
        if (f.useTag == 1)
            sql = "SELECT DISTINCT `geocache`.* FROM `geocache`, `geotag` WHERE `geocache`.`id` <> 'GC0' AND "
                  "`geocache`.`id` = `geotag`.`id` ";
        else if (withDistance)
            sql = "SELECT `geocache`.* FROM `geocache`, `coord_index` WHERE `geocache`.`key` = "
                  "`coord_index`.`key` AND `id` <> 'GC0' ";
        else
            sql = "SELECT * FROM `geocache` WHERE `id` <> 'GC0' ";

        if (f.useTag == 1) {
            sql += " AND `geotag`.`ptrkat` = " + b.param(std::int64_t{in.tagCategoryKey});
            if (!f.tagValue.empty())
                sql += " AND `geotag`.`ptrvalue` = " + b.param(std::int64_t{in.tagValueKey}) + " ";
        }
        if (!f.name.empty())
            sql += " AND " + b.like("`name`", "%" + f.name + "%") + " ";
        if (!f.owner.empty())
            sql += " AND " + b.like("`author`", "%" + f.owner + "%") + " ";

        std::string types;
        int selected = 0;
        for (int i = 0; i < CacheFilter::kCacheTypeSlots; ++i) {
            if (!f.cacheTypes[static_cast<std::size_t>(i)])
                continue;
            if (selected++ > 0)
                types += " OR ";
            if (i < CacheFilter::AnyOther)
                types += std::string("`cachetype` LIKE '") + kTypeNames[i] + "'";
            else
                types += kNotAnyKnownType;
        }
        if (selected > 0 && selected < CacheFilter::kCacheTypeSlots)
            sql += " AND (" + types + ")";

        if (f.owned == 0)
            sql += " AND " + b.like("`author`", in.nickname, true) + " ";
        else if (f.owned == 1)
            sql += " AND " + b.like("`author`", in.nickname) + " ";

        if (f.found == 0)
            sql += " AND `dtfound` = '0' ";
        else if (f.found == 1)
            sql += " AND `dtfound` <> '0' ";

        if (!(f.active && f.disabled && f.archived)) {
            std::string status;
            for (const auto& [wanted, item] : {std::pair{f.active, " `cachestatus` = '0'"},
                                               std::pair{f.disabled, " `cachestatus` = '1'"},
                                               std::pair{f.archived, " `cachestatus` = '2'"}}) {
                if (!wanted)
                    continue;
                if (!status.empty())
                    status += " OR";
                status += item;
            }
            if (!status.empty())
                sql += " AND (" + status + ")";
        }

        if (withDistance) {
            const double dLat = (f.distanceKm + 0.5) * 0.01;
            const double dLon = (f.distanceKm + 0.5) / std::cos(in.refLat * geo::kDegToRad) * 0.01;
            const auto lat0 = b.param(sixDecimals(in.refLat - dLat));
            const auto lat1 = b.param(sixDecimals(in.refLat + dLat));
            const auto lon0 = b.param(sixDecimals(in.refLon - dLon));
            const auto lon1 = b.param(sixDecimals(in.refLon + dLon));
            if (f.useTag == 1)
                sql += " AND `x`BETWEEN " + lat0 + " AND " + lat1 + " AND `y`BETWEEN " + lon0 + " AND " + lon1;
            else
                sql += " AND `minX`>=" + lat0 + " AND `maxX`<=" + lat1 + " AND `minY`>=" + lon0 +
                       " AND `maxY`<=" + lon1;
        }
    }

    if (f.found == 1 && f.distanceKm == 0.0) {
        sql += " ORDER BY `dtfound` DESC";
    } else {
        const auto lat = b.param(sixDecimals(in.refLat));
        const auto lon = b.param(sixDecimals(in.refLon));
        sql += " ORDER BY ((`x`-" + lat + ")*(`x`-" + lat + ")+(`y`-" + lon + ")*(`y`-" + lon + "))";
    }

    CacheQuery query;
    query.limit = queryRowLimit(in.maxRows, f.distanceKm);
    sql += " LIMIT " + b.param(std::int64_t{query.limit});
    query.sql = std::move(sql);
    query.params = std::move(b.params);
    return query;
}

WaypointTypeSelection waypointTypesOf(const CacheFilter& filter)
{
    WaypointTypeSelection types{};
    for (std::size_t i = 0; i < types.size(); ++i)
        types[i] = filter.wptTypes[i] != 0;
    return types;
}

std::string BuildWaypointQuery(const CacheFilter& filter, const std::string& code)
{
    return waypointQueryFor(waypointTypesOf(filter), code);
}

} // namespace tw

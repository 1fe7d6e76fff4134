// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter/QueryBuilder.h"

#include "db/Database.h"
#include "db/FullText.h"
#include "db/Statement.h"
#include "geo/GeoMath.h"
#include "platform/Numbers.h"
#include "platform/Text.h"

#include <algorithm>
#include <cmath>
#include <string>

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

// Text that a LIKE pattern with the escape character '\\' matches as it
// stands.
std::string likeLiteral(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '%' || c == '_' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

class Builder {
public:
    // Adds a parameter and returns its placeholder.
    std::string param(CacheQuery::Param value)
    {
        params.push_back(std::move(value));
        return "?" + std::to_string(params.size());
    }

    // "`column` LIKE ? ESCAPE '\'" for a pattern of any length. What the
    // user typed goes in through likeLiteral(): a "%" or "_" in a name is
    // that character, not a wildcard.
    std::string like(const char* column, const std::string& pattern, bool negate = false)
    {
        if (pattern.size() > kLongLikePattern)
            return std::string(negate ? "NOT " : "") + "like_unbounded(" + param(pattern) + ", " + column + ")";
        return std::string(column) + (negate ? " NOT LIKE " : " LIKE ") + param(pattern) + " ESCAPE '\\'";
    }

    std::vector<CacheQuery::Param> params;
};

} // namespace

namespace {

// Binds the first `count` parameters.
void bindFirst(SQLite::Statement& statement, const std::vector<CacheQuery::Param>& params, std::size_t count)
{
    for (std::size_t i = 0; i < count && i < params.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        if (const auto* n = std::get_if<std::int64_t>(&params[i]))
            statement.BindInt(index, *n);
        else if (const auto* d = std::get_if<double>(&params[i]))
            statement.BindDouble(index, *d);
        else
            statement.BindText(index, std::get<std::string>(params[i]));
    }
}

} // namespace

void CacheQuery::bind(SQLite::Statement& statement) const
{
    bindFirst(statement, params, params.size());
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
    // The selected columns, then the rest up to the order.
    std::string columns;
    std::string sql;
    const bool withDistance = f.distanceKm > 0.0;
    // The text condition: the index's relevance joined to the rows it finds.
    const std::string match = f.code.empty() ? fulltext::MatchExpression(f.textQuery, f.textFields) : std::string();
    const bool withText = !match.empty();
    if (!f.code.empty()) {
        // The dummy cache holds the user's loose waypoints; it is never listed,
        // whatever pattern is typed.
        columns = "*";
        sql = "FROM `geocache` WHERE " + b.like("`id`", "GC" + text::replaceAll(likeLiteral(f.code), "*", "%")) +
              " AND `id` <> 'GC0' ";
    } else {
        const std::string from =
            withText ? "FROM `geocache` " + text::replaceAll(fulltext::RankJoin(), "?", b.param(match)) : "FROM `geocache`";
        if (f.useTag == 1) {
            columns = "DISTINCT `geocache`.*";
            sql = from + ", `geotag` WHERE `geocache`.`id` <> 'GC0' AND `geocache`.`id` = `geotag`.`id` ";
        } else if (withDistance) {
            // The box leads: left to itself, SQLite walks the index on
            // `dtfound` (nearly every row of a big database) and looks each
            // row up in the R-tree.
            columns = "`geocache`.*";
            // With a text query the index has chosen the rows already.
            sql = withText ? from + ", `coord_index` WHERE `geocache`.`key` = `coord_index`.`key` AND `id` <> 'GC0' "
                           : "FROM `coord_index` CROSS JOIN `geocache` WHERE `geocache`.`key` = `coord_index`.`key` AND "
                             "`id` <> 'GC0' ";
        } else {
            columns = withText ? "`geocache`.*" : "*";
            sql = from + " WHERE `id` <> 'GC0' ";
        }
        // The join with the index keeps only the rows it finds.
        if (withText)
            columns += ", " + fulltext::RankOrder();

        if (f.useTag == 1) {
            sql += " AND `geotag`.`ptrkat` = " + b.param(std::int64_t{in.tagCategoryKey});
            if (!f.tagValue.empty())
                sql += " AND `geotag`.`ptrvalue` = " + b.param(std::int64_t{in.tagValueKey}) + " ";
        }
        if (!f.name.empty())
            sql += " AND " + b.like("`name`", "%" + likeLiteral(f.name) + "%") + " ";
        if (!f.owner.empty())
            sql += " AND " + b.like("`author`", "%" + likeLiteral(f.owner) + "%") + " ";

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
            sql += " AND " + b.like("`author`", likeLiteral(in.nickname), true) + " ";
        else if (f.owned == 1)
            sql += " AND " + b.like("`author`", likeLiteral(in.nickname)) + " ";

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

    CacheQuery query;
    std::string order;
    if (withText && in.byRelevance) {
        order = " ORDER BY " + fulltext::RankOrder() + ", `geocache`.`key`";
    } else if (f.found == 1 && f.distanceKm == 0.0) {
        order = " ORDER BY `dtfound` DESC";
    } else {
        const auto lat = b.param(sixDecimals(in.refLat));
        const auto lon = b.param(sixDecimals(in.refLon));
        order = " ORDER BY ((`x`-" + lat + ")*(`x`-" + lat + ")+(`y`-" + lon + ")*(`y`-" + lon + "))";
        // The list picks the nearest rows itself (nearestKeys), caches at
        // one distance by key: the database would read every row in the box
        // (or the table) whole and sort them.
        // With a text query the index has already chosen few rows: they are
        // ordered by the database.
        if (!f.code.empty() || (f.useTag != 1 && !withText)) {
            order += ", `geocache`.`key`";
            const std::size_t own = b.params.size() - 2;
            query.keySql = "SELECT `geocache`.`key`, `geocache`.`x`, `geocache`.`y` " + sql;
            query.checkSql = "SELECT `geocache`.`key` " + sql + " AND `geocache`.`key` = ?" + std::to_string(own + 1);
            query.keyParams = own;
            query.orderLat = sixDecimals(in.refLat);
            query.orderLon = sixDecimals(in.refLon);
        }
    }

    query.limit = queryRowLimit(in.maxRows, f.distanceKm);
    query.sql = "SELECT " + columns + " " + sql + order + " LIMIT " + b.param(std::int64_t{query.limit});
    query.params = std::move(b.params);
    return query;
}

namespace {

// One row in the order of the full statement: by its order key
// ((x-lat)*(x-lat)+(y-lon)*(y-lon)) as the database works it out (in
// doubles, NULL first: a missing coordinate or a result that is no number),
// then by key.
struct Candidate {
    bool null = false;
    double value = 0.0;
    std::int64_t key = 0;
};

bool nearer(const Candidate& a, const Candidate& b)
{
    if (a.null != b.null)
        return a.null;
    if (!a.null && a.value != b.value)
        return a.value < b.value;
    return a.key < b.key;
}

Candidate candidateAt(const CachePositions::Position& p, const CacheQuery& query)
{
    Candidate c;
    c.key = p.key;
    if (p.null) {
        c.null = true;
    } else {
        const double dx = p.x - query.orderLat;
        const double dy = p.y - query.orderLon;
        const double dx2 = dx * dx;
        const double dy2 = dy * dy;
        c.value = dx2 + dy2;
        c.null = std::isnan(dx) || std::isnan(dy) || std::isnan(dx2) || std::isnan(dy2) || std::isnan(c.value);
    }
    return c;
}

// The rows of a statement giving key, x and y.
std::vector<Candidate> candidatesOf(SQLite::Statement& rows, const CacheQuery& query)
{
    std::vector<Candidate> out;
    while (rows.Next())
        out.push_back(candidateAt(positionOf(rows), query));
    return out;
}

// Orders the nearest `count` of all[from ...] into place.
void orderNext(std::vector<Candidate>& all, std::size_t from, std::size_t count)
{
    const auto first = all.begin() + static_cast<std::ptrdiff_t>(from);
    const auto last = all.begin() + static_cast<std::ptrdiff_t>(std::min(all.size(), from + count));
    std::nth_element(first, last, all.end(), nearer);
    std::sort(first, last, nearer);
}

// Checks of single rows after which a filter that lets few rows through is
// answered by reading the rows that pass instead.
constexpr std::size_t kChecksBeforeJudging = 1000;
constexpr std::size_t kMostChecks = 20000;

} // namespace

std::vector<std::int64_t> nearestKeys(SQLite::Database& db, const CacheQuery& query, CachePositions* positions)
{
    std::vector<std::int64_t> keys;
    if (query.keySql.empty() || query.limit == 0)
        return keys;
    if (query.limit > 0) {
        // Every cache nearest first (reading a key and a position is cheap),
        // asking the filter about one row after the other until enough pass.
        const auto limit = static_cast<std::size_t>(query.limit);
        std::vector<Candidate> all;
        if (positions) {
            const auto& known = positions->of(db);
            all.reserve(known.size());
            for (const auto& p : known)
                all.push_back(candidateAt(p, query));
        } else {
            SQLite::Statement every(db, "SELECT `key`, `x`, `y` FROM `geocache`");
            all = candidatesOf(every, query);
        }
        SQLite::Statement check(db, query.checkSql);
        bindFirst(check, query.params, query.keyParams);
        const int keyIndex = static_cast<int>(query.keyParams) + 1;
        std::size_t checked = 0;
        std::size_t ordered = 0;
        while (keys.size() < limit && checked < all.size()) {
            if (checked >= kChecksBeforeJudging &&
                checked * limit > kMostChecks * std::max<std::size_t>(keys.size(), 1))
                break;
            if (checked == ordered) {
                // Each round selects from every row not yet ordered, the
                // whole table: at least twice as many as before, so that a
                // filter passing a fifth of the rows takes three rounds and
                // not a dozen.
                const std::size_t next = std::max({2 * (limit - keys.size()), ordered, std::size_t{64}});
                orderNext(all, ordered, next);
                ordered = std::min(all.size(), ordered + next);
            }
            check.rewind();
            check.BindInt(keyIndex, all[checked].key);
            if (check.Next())
                keys.push_back(all[checked].key);
            ++checked;
        }
        if (keys.size() == limit || checked == all.size())
            return keys;
        keys.clear();
    }
    SQLite::Statement rows(db, query.keySql);
    bindFirst(rows, query.params, query.keyParams);
    std::vector<Candidate> passed = candidatesOf(rows, query);
    std::size_t count = passed.size();
    if (query.limit > 0)
        count = std::min(count, static_cast<std::size_t>(query.limit));
    orderNext(passed, 0, count);
    for (std::size_t i = 0; i < count; ++i)
        keys.push_back(passed[i].key);
    return keys;
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

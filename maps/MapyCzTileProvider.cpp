// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapyCzTileProvider.h"

#include "platform/Text.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

constexpr std::int32_t kFullExtent = 1 << 28;
constexpr double kFalseEasting = 3700000;
constexpr double kFalseNorthing = 1300000;
constexpr int kUnitsPerMetre = 32;

std::int32_t clampWorld(long long v)
{
    return static_cast<std::int32_t>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

} // namespace

std::string hexCoord(std::int32_t value)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    auto u = static_cast<std::uint32_t>(value);
    std::string out;
    do {
        out.insert(out.begin(), kDigits[u & 0xF]);
        u >>= 4;
    } while (u != 0);
    return out;
}

std::int32_t MapyCzTileProvider::extentAt(int zoom)
{
    return kFullExtent >> std::clamp(zoom, 0, 27);
}

MapyCzTileProvider::MapyCzTileProvider(const MapSource& source, Options options)
    : TileProvider(source, std::move(options))
{
    m_utm.selectEllipsoid(geo::UtmConverter::kWgs84);
    setZoom(m_zoom);
}

WorldPoint MapyCzTileProvider::latLonToWorld(double latDeg, double lonDeg)
{
    double easting = 0, northing = 0;
    std::string zone;
    // Every point in zone 33, whatever its longitude: one planar grid.
    m_utm.latLonToUtm(latDeg, lonDeg, easting, northing, zone, true);
    const double x = std::trunc(easting + kFalseEasting) * kUnitsPerMetre;
    const double y = std::trunc(northing - kFalseNorthing) * kUnitsPerMetre;
    if (!std::isfinite(x) || !std::isfinite(y))
        return {};
    return {clampWorld(static_cast<long long>(x)), clampWorld(static_cast<long long>(y))};
}

geo::LatLon MapyCzTileProvider::worldToLatLon(WorldPoint p)
{
    const double easting = (p.x >> 5) - kFalseEasting;
    const double northing = (p.y >> 5) + kFalseNorthing;
    return m_utm.utmToLatLon(easting, northing, "33U");
}

PixelPoint MapyCzTileProvider::pixelOffsetFrom(WorldPoint p, WorldPoint c) const
{
    const long long px = (static_cast<long long>(p.x) - tileLeft(c)) * kTileSizePx / m_extent;
    const long long py = (static_cast<long long>(tileTop(c)) - p.y) * kTileSizePx / m_extent + kTileSizePx;
    return {static_cast<int>(std::clamp<long long>(px, INT32_MIN / 2, INT32_MAX / 2)),
            static_cast<int>(std::clamp<long long>(py, INT32_MIN / 2, INT32_MAX / 2))};
}

std::string MapyCzTileProvider::tileSetName(int m) const
{
    const MapType* type = mapType(m);
    return type ? type->file : std::string();
}

WorldPoint MapyCzTileProvider::offsetByTiles(WorldPoint p, int dColumns, int dRows) const
{
    return {clampWorld(p.x + static_cast<long long>(m_extent) * dColumns),
            clampWorld(p.y + static_cast<long long>(m_extent) * dRows)};
}

void MapyCzTileProvider::panByPixels(int dx, int dy)
{
    WorldPoint c = centreWorld();
    c.x = clampWorld(c.x + static_cast<long long>(m_extent) * dx / kTileSizePx);
    c.y = clampWorld(c.y - static_cast<long long>(m_extent) * dy / kTileSizePx);
    setCentre(worldToLatLon(c));
}

WorldPoint MapyCzTileProvider::childTileCentre(WorldPoint p, int fromZoom, int i, int j) const
{
    const std::int32_t parent = extentAt(fromZoom);
    const long long f = std::max<long long>(1, parent / m_extent);
    const long long left = p.x & ~(parent - 1);
    const long long bottom = p.y & ~(parent - 1);
    // j counts from the top of the image, which is the north, where world
    // rows are highest.
    return {clampWorld(left + i * static_cast<long long>(m_extent) + m_extent / 2),
            clampWorld(bottom + (f - 1 - j) * m_extent + m_extent / 2)};
}

TilePart MapyCzTileProvider::ancestorPart(int, int fromZoom, WorldPoint p) const
{
    const std::int32_t child = extentAt(fromZoom);
    const int f = std::max(1, m_extent / child);
    const int column = ((p.x & ~(child - 1)) - (p.x & ~(m_extent - 1))) / child;
    const int rowFromSouth = ((p.y & ~(child - 1)) - (p.y & ~(m_extent - 1))) / child;
    // World rows grow northward, image rows southward.
    return {column, f - 1 - rowFromSouth};
}

fs::path MapyCzTileProvider::tilePath(WorldPoint tile, int m) const
{
    const MapType* type = mapType(m);
    if (!type || !isSafeFileName(type->file))
        return {};
    const std::string hx = hexCoord(tileLeft(tile));
    const std::string hy = hexCoord(tileTop(tile));
    auto part = [](const std::string& hex, std::size_t from) {
        return hex.size() > from ? hex.substr(from, 2) : std::string("0");
    };
    const fs::path path = m_mapFolder / "kachle" / part(hx, 0) / part(hy, 0) / part(hx, 2) / part(hy, 2)
                          / (type->file + "_" + std::to_string(m_zoom) + "_" + hx + "_" + hy + ".kachle");
    if (type->file.rfind("base", 0) == 0) {
        // Older tile sets were stored as "base-n".
        const fs::path other = text::replaceAll(path.string(), "base_n", "base-n");
        std::error_code ec;
        if (!fs::exists(path, ec) && fs::exists(other, ec))
            return other;
    }
    return path;
}

std::string MapyCzTileProvider::tileUrl(WorldPoint tile, int m) const
{
    const MapType* type = mapType(m);
    if (!type)
        return {};
    return fillUrlTemplate(type->url, hexCoord(tileLeft(tile)), hexCoord(tileTop(tile)), m_zoom);
}

TileKey MapyCzTileProvider::databaseKey(WorldPoint tile, int m) const
{
    return {tileLeft(tile), tileTop(tile), tileDbZ(m_zoom), tileSetName(m)};
}

fs::path MapyCzTileProvider::databasePath(int) const
{
    if (storage() != TileStorage::Database)
        return {};
    const std::string name = source().file.empty() ? std::string("mapy_cz") : source().file;
    if (!isSafeFileName(name))
        return {};
    return databaseFileOf(name);
}

ScaleBar MapyCzTileProvider::computeScale()
{
    return {static_cast<int>(std::trunc(m_extent * 0.00762939453125)), 64};
}

} // namespace tw::maps

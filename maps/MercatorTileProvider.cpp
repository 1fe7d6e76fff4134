// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MercatorTileProvider.h"

#include "geo/GeoMath.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <limits>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

// The projection constants carry single-precision π, as the stored tile sets
// were addressed with them; forward and inverse therefore do not round-trip
// exactly.
constexpr double kUnitsPerDegree = 2.7777777777777777;
constexpr double kDegToRadF = 0.01745329277777778;
constexpr double kInvPiF = 0.31830988148145367;
constexpr double kPiF = 3.1415927;
constexpr double kTwoPiF = 6.2831854;
constexpr double kRadToDegF = 57.29577866666166;

std::int32_t toWorld(double v)
{
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(v))
        return 0;
    return static_cast<std::int32_t>(std::clamp(v, lo, hi));
}

std::int32_t toWorld(long long v)
{
    return toWorld(static_cast<double>(v));
}

} // namespace

MercatorTileProvider::MercatorTileProvider(const MapSource& source, Options options)
    : TileProvider(source, std::move(options))
{
    setZoom(m_zoom);
}

WorldPoint MercatorTileProvider::latLonToWorld(double latDeg, double lonDeg)
{
    const double n = std::ldexp(1.0, m_zoom);
    const double phi = latDeg * kDegToRadF;
    const double l = std::log(std::tan(phi) + 1.0 / std::cos(phi));
    return {toWorld(std::floor((lonDeg + 180) * n * kUnitsPerDegree)),
            toWorld(std::floor((1 - l * kInvPiF) * n * 0.5 * 1000))};
}

geo::LatLon MercatorTileProvider::worldToLatLon(WorldPoint p)
{
    const double n = std::ldexp(1.0, m_zoom);
    const double lon = (p.x * 0.001 / n) * 360 - 180;
    const double v = kPiF - kTwoPiF * (p.y * 0.001 / n);
    const double lat = std::atan((std::exp(v) - std::exp(-v)) * 0.5) * kRadToDegF;
    return {lat, lon};
}

PixelPoint MercatorTileProvider::pixelOffsetFrom(WorldPoint p, WorldPoint c) const
{
    // 64-bit: a point many tiles away (a long track) overflows 32 bits here.
    const long long px = (static_cast<long long>(p.x) - tileLeft(c)) * kTileSizePx / kUnitsPerTile;
    const long long py = (static_cast<long long>(p.y) - tileTop(c)) * kTileSizePx / kUnitsPerTile;
    return {static_cast<int>(std::clamp<long long>(px, INT32_MIN / 2, INT32_MAX / 2)),
            static_cast<int>(std::clamp<long long>(py, INT32_MIN / 2, INT32_MAX / 2))};
}

WorldPoint MercatorTileProvider::offsetByTiles(WorldPoint p, int dColumns, int dRows) const
{
    return {toWorld(static_cast<long long>(p.x) + static_cast<long long>(dColumns) * kUnitsPerTile),
            toWorld(static_cast<long long>(p.y) - static_cast<long long>(dRows) * kUnitsPerTile)};
}

void MercatorTileProvider::panByPixels(int dx, int dy)
{
    WorldPoint c = centreWorld();
    c.x = toWorld(static_cast<long long>(c.x) + static_cast<long long>(dx) * kUnitsPerTile / kTileSizePx);
    c.y = toWorld(static_cast<long long>(c.y) + static_cast<long long>(dy) * kUnitsPerTile / kTileSizePx);
    setCentre(worldToLatLon(c));
}

WorldPoint MercatorTileProvider::childTileCentre(WorldPoint p, int fromZoom, int i, int j) const
{
    const long long f = 1LL << std::max(0, m_zoom - fromZoom);
    return {toWorld(((p.x / kUnitsPerTile) * f + i) * kUnitsPerTile + kUnitsPerTile / 2),
            toWorld(((p.y / kUnitsPerTile) * f + j) * kUnitsPerTile + kUnitsPerTile / 2)};
}

TilePart MercatorTileProvider::ancestorPart(int, int fromZoom, WorldPoint p) const
{
    // Rows grow southward like the image's own rows: no mirroring.
    const int f = 1 << std::clamp(fromZoom - m_zoom, 0, 30);
    return {(p.x / kUnitsPerTile) % f, (p.y / kUnitsPerTile) % f};
}

fs::path MercatorTileProvider::tilePath(WorldPoint tile, int m) const
{
    const MapType* type = mapType(m);
    if (!type || !isSafeFileName(type->file))
        return {};
    const fs::path folder =
        m_mapFolder / type->file / std::to_string(m_zoom) / std::to_string(tileColumn(tile));
    const std::string row = std::to_string(tileRow(tile));
    // The stored file keeps the extension of the content type it arrived
    // with, which need not match the URL's.
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path name = it->path().filename();
        if (name.stem() == row && name.has_extension())
            return it->path();
    }
    return folder / (row + "." + kExtPlaceholder);
}

std::string MercatorTileProvider::tileUrl(WorldPoint tile, int m) const
{
    const MapType* type = mapType(m);
    if (!type)
        return {};
    return fillUrlTemplate(type->url, std::to_string(tileColumn(tile)), std::to_string(tileRow(tile)), m_zoom);
}

TileKey MercatorTileProvider::databaseKey(WorldPoint tile, int) const
{
    return {tileColumn(tile), tileRow(tile), tileDbZ(m_zoom), {}};
}

fs::path MercatorTileProvider::databasePath(int m) const
{
    const MapType* type = mapType(m);
    if (!type || !isSafeFileName(type->file) || storage() == TileStorage::Folder)
        return {};
    if (storage() == TileStorage::MbTiles)
        return m_mapFolder / (type->file + ".mbtiles");
    return databaseFileOf(type->file);
}

ScaleBar MercatorTileProvider::computeScale()
{
    const WorldPoint c = centreWorld();
    const WorldPoint left{tileLeft(c), tileTop(c)};
    const WorldPoint right{left.x + kUnitsPerTile, left.y};
    // A tile is 256 pixels: a quarter of its width is the 64-pixel bar.
    const double metres = geo::distanceKm(worldToLatLon(left), worldToLatLon(right)) * 250;
    return roundScale(metres);
}

} // namespace tw::maps

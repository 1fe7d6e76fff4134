// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/UtmConverter.h"
#include "maps/TileProvider.h"

namespace tw::maps {

/** Tiles of the MapyCz planar grid laid on UTM zone 33. World units are
 *  1/32 metre; a tile spans T = 2^28 >> zoom units; rows grow northward and
 *  a tile is addressed by its first (south-west) world coordinate. */
class MapyCzTileProvider final : public TileProvider {
public:
    MapyCzTileProvider(const MapSource& source, Options options);

    WorldPoint latLonToWorld(double latDeg, double lonDeg) override;
    geo::LatLon worldToLatLon(WorldPoint p) override;
    PixelPoint pixelOffsetFrom(WorldPoint p, WorldPoint c) const override;
    int tileColumn(WorldPoint p) const override { return tileLeft(p); }
    int tileRow(WorldPoint p) const override { return tileTop(p); }
    std::int32_t tileLeft(WorldPoint p) const override { return p.x & ~(m_extent - 1); }
    std::int32_t tileTop(WorldPoint p) const override { return p.y & ~(m_extent - 1); }
    std::string tileSetName(int m) const override;
    WorldPoint offsetByTiles(WorldPoint p, int dColumns, int dRows) const override;
    void panByPixels(int dx, int dy) override;
    WorldPoint childTileCentre(WorldPoint p, int fromZoom, int i, int j) const override;
    TilePart ancestorPart(int m, int fromZoom, WorldPoint p) const override;
    WorldPoint doublePoint(WorldPoint p) const override { return p; }
    WorldPoint halvePoint(WorldPoint p) const override { return p; }
    std::filesystem::path tilePath(WorldPoint tile, int m) const override;
    std::string tileUrl(WorldPoint tile, int m) const override;
    TileKey databaseKey(WorldPoint tile, int m) const override;
    std::filesystem::path databasePath(int m) const override;
    int waypointZoom() const override { return 11; }
    // Tiles of at least 256 units (8 m) keep the pixel arithmetic exact.
    int maxSupportedZoom() const override { return 20; }
    bool keysBySet() const override { return true; }

    /** Tile extent T in world units at the current zoom. */
    std::int32_t extent() const { return m_extent; }
    static std::int32_t extentAt(int zoom);

protected:
    void zoomChanged() override { m_extent = extentAt(m_zoom); }
    ScaleBar computeScale() override;

private:
    geo::UtmConverter m_utm;
    std::int32_t m_extent = 0;
};

/** "%x" of a world coordinate: lower-case hexadecimal of its 32 bits. */
std::string hexCoord(std::int32_t value);

} // namespace tw::maps

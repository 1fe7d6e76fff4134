// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileProvider.h"

namespace tw::maps {

/** Square Web Mercator tiles addressed by column, row and zoom ("Google"
 *  sources). World units: 1000 per tile at the current zoom. */
class MercatorTileProvider final : public TileProvider {
public:
    static constexpr int kUnitsPerTile = 1000;

    MercatorTileProvider(const MapSource& source, Options options);

    WorldPoint latLonToWorld(double latDeg, double lonDeg) override;
    geo::LatLon worldToLatLon(WorldPoint p) override;
    PixelPoint pixelOffsetFrom(WorldPoint p, WorldPoint c) const override;
    int tileColumn(WorldPoint p) const override { return p.x / kUnitsPerTile; }
    int tileRow(WorldPoint p) const override { return p.y / kUnitsPerTile; }
    std::int32_t tileLeft(WorldPoint p) const override { return p.x / kUnitsPerTile * kUnitsPerTile; }
    std::int32_t tileTop(WorldPoint p) const override { return p.y / kUnitsPerTile * kUnitsPerTile; }
    std::string tileSetName(int) const override { return {}; }
    WorldPoint offsetByTiles(WorldPoint p, int dColumns, int dRows) const override;
    void panByPixels(int dx, int dy) override;
    WorldPoint childTileCentre(WorldPoint p, int fromZoom, int i, int j) const override;
    TilePart ancestorPart(int m, int fromZoom, WorldPoint p) const override;
    WorldPoint doublePoint(WorldPoint p) const override { return {p.x * 2, p.y * 2}; }
    WorldPoint halvePoint(WorldPoint p) const override { return {p.x / 2, p.y / 2}; }
    std::filesystem::path tilePath(WorldPoint tile, int m) const override;
    std::string tileUrl(WorldPoint tile, int m) const override;
    TileKey databaseKey(WorldPoint tile, int m) const override;
    std::filesystem::path databasePath(int m) const override;
    int waypointZoom() const override { return 12; }
    // 2^21 tiles of 1000 units still fit a 32-bit coordinate.
    int maxSupportedZoom() const override { return 21; }
    bool keysBySet() const override { return false; }

protected:
    ScaleBar computeScale() override;
};

} // namespace tw::maps

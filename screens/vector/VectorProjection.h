// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/mapsforge/MapFileTypes.h"
#include "maps/mapsforge/TileMath.h"

#include <QPointF>
#include <QRectF>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tw::vector {

/** Where a tile lies in the world of its zoom level, in device pixels on the
 *  spherical Mercator projection: world x from the west, y from the north. */
struct TileFrame {
    int zoom = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
    double sidePx = 256;   // a tile's side
    double worldPx = 256;  // the world's side: sidePx × 2^zoom
    QPointF origin;        // the tile's north-west corner

    TileFrame(int zoomLevel, std::int64_t column, std::int64_t row, double side)
        : zoom(zoomLevel), x(column), y(row), sidePx(side), worldPx(side * double(std::int64_t{1} << zoomLevel)),
          origin(double(column) * side, double(row) * side)
    {
    }

    QPointF world(maps::MicroPoint p) const
    {
        const double lon = p.lonE6 * 1e-6;
        const double lat = std::clamp(p.latE6 * 1e-6, -maps::tilemath::kMaxLatDeg, maps::tilemath::kMaxLatDeg);
        const double s = std::sin(lat * (M_PI / 180.0));
        const double my = 0.5 - std::log((1.0 + s) / (1.0 - s)) / (4.0 * M_PI);
        return {(lon + 180.0) / 360.0 * worldPx, my * worldPx};
    }
    QPointF local(maps::MicroPoint p) const { return world(p) - origin; }
    QRectF worldRect() const { return {origin.x(), origin.y(), sidePx, sidePx}; }
    // The world pixel of a position in degrees.
    QPointF worldOfDeg(double latDeg, double lonDeg) const
    {
        return world({maps::tilemath::toE6(latDeg), maps::tilemath::toE6(lonDeg)});
    }
};

} // namespace tw::vector

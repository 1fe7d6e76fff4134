// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tw::maps {

class ElevationFiles;

/** The relief shading of one square of the map: for each pixel, row by row
 *  from the top, how much it is darkened (0 not at all, 255 black). Slopes
 *  turned away from a light in the north-west darken; flat land and slopes
 *  facing the light stay as they are. */
struct ShadeTile {
    int size = 0;
    std::vector<std::uint8_t> alpha;
};

/** Where the pixel at (x, y) of the square lies; x and y run from -1 to
 *  size, pixel centres at +0.5. */
using PixelPosition = std::function<geo::LatLon(double x, double y)>;

/** The shading of a square of size × size pixels; nothing when no height
 *  is known anywhere in it, or when a pixel spans more than two kilometres
 *  (the whole world at once is not shaded). */
std::optional<ShadeTile> shadeSquare(ElevationFiles& heights, const PixelPosition& positionOf, int size);

/** Squares of the map are shaded from this zoom on. */
inline constexpr int kMinShadedZoom = 8;

} // namespace tw::maps

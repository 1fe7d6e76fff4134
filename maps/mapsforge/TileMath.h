// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

// Slippy-map tile numbers of positions in microdegrees and back, on the
// spherical Mercator projection the map files are cut in.
namespace tw::maps::tilemath {

inline constexpr int kMaxZoom = 30;
// The latitude where the square Mercator world ends.
inline constexpr double kMaxLatDeg = 85.05112877980659;

inline std::int64_t tileCount(int zoom) { return std::int64_t{1} << zoom; }

inline std::int64_t lonToTileX(std::int32_t lonE6, int zoom)
{
    const double n = static_cast<double>(tileCount(zoom));
    const auto x = static_cast<std::int64_t>(std::floor((lonE6 / 1e6 + 180.0) / 360.0 * n));
    return std::clamp<std::int64_t>(x, 0, tileCount(zoom) - 1);
}

inline std::int64_t latToTileY(std::int32_t latE6, int zoom)
{
    const double n = static_cast<double>(tileCount(zoom));
    const double lat = std::clamp(latE6 / 1e6, -kMaxLatDeg, kMaxLatDeg) * (M_PI / 180.0);
    const double y = (1.0 - std::log(std::tan(lat) + 1.0 / std::cos(lat)) / M_PI) / 2.0 * n;
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(std::floor(y)), 0, tileCount(zoom) - 1);
}

/** The longitude of the western edge of column x. */
inline double tileXToLonDeg(std::int64_t x, int zoom)
{
    return static_cast<double>(x) / static_cast<double>(tileCount(zoom)) * 360.0 - 180.0;
}

/** The latitude of the northern edge of row y. */
inline double tileYToLatDeg(std::int64_t y, int zoom)
{
    const double v = M_PI * (1.0 - 2.0 * static_cast<double>(y) / static_cast<double>(tileCount(zoom)));
    return std::atan(std::sinh(v)) * (180.0 / M_PI);
}

// The corner from which the file counts a tile's positions, cut to whole
// microdegrees towards zero: only then do the positions of files written by
// others come out where they were written (a tile edge at 0.06591796875°
// must count as 65917, not 65918).
inline std::int32_t toE6(double deg) { return static_cast<std::int32_t>(deg * 1e6); }
inline std::int32_t tileWestE6(std::int64_t x, int zoom) { return toE6(tileXToLonDeg(x, zoom)); }
inline std::int32_t tileNorthE6(std::int64_t y, int zoom) { return toE6(tileYToLatDeg(y, zoom)); }

} // namespace tw::maps::tilemath

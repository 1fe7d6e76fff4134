// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/Hillshade.h"

#include "maps/Elevation.h"

#include <algorithm>
#include <cmath>

namespace tw::maps {
namespace {

constexpr double kMetresPerDegree = 111320.0;
constexpr double kDegToRad = 0.017453292519943295;
// The light comes from the north-west, 45° above the horizon.
constexpr double kLightEast = -0.5, kLightNorth = 0.5, kLightUp = 0.7071067811865476;
// Slopes are drawn twice as steep as they are: rolling country would
// otherwise hardly show.
constexpr double kExaggeration = 2.0;
// The darkest a slope in full shadow gets: the map beneath stays readable.
constexpr double kMostShade = 170.0;
// Positions are worked out exactly on a coarse grid and between its points
// linearly: the projection bends too little within a square to see.
constexpr int kGridSteps = 16;

double metresBetween(geo::LatLon a, geo::LatLon b)
{
    const double east = (b.lon - a.lon) * std::cos((a.lat + b.lat) * 0.5 * kDegToRad);
    return std::hypot(east, b.lat - a.lat) * kMetresPerDegree;
}

} // namespace

std::optional<ShadeTile> shadeSquare(ElevationFiles& heights, const PixelPosition& positionOf, int size)
{
    if (size <= 0 || size > 4096)
        return std::nullopt;
    const double mid = size * 0.5;
    const double metresPerPixel = metresBetween(positionOf(0, mid), positionOf(size, mid)) / size;
    if (!(metresPerPixel > 0) || metresPerPixel > 2000)
        return std::nullopt;

    // Positions of the grid over the square and its one-pixel border.
    const int span = size + 2;
    std::vector<geo::LatLon> grid((kGridSteps + 1) * (kGridSteps + 1));
    for (int j = 0; j <= kGridSteps; ++j)
        for (int i = 0; i <= kGridSteps; ++i)
            grid[static_cast<std::size_t>(j * (kGridSteps + 1) + i)] =
                positionOf(-1 + span * double(i) / kGridSteps, -1 + span * double(j) / kGridSteps);

    // Heights at the pixel centres, the border included; NaN where unknown.
    std::vector<float> z(static_cast<std::size_t>(span) * static_cast<std::size_t>(span));
    bool any = false;
    for (int y = 0; y < span; ++y) {
        const double gy = (y + 0.5) * kGridSteps / span;
        const int j = std::min(static_cast<int>(gy), kGridSteps - 1);
        const double fy = gy - j;
        for (int x = 0; x < span; ++x) {
            const double gx = (x + 0.5) * kGridSteps / span;
            const int i = std::min(static_cast<int>(gx), kGridSteps - 1);
            const double fx = gx - i;
            const auto& a = grid[static_cast<std::size_t>(j * (kGridSteps + 1) + i)];
            const auto& b = grid[static_cast<std::size_t>(j * (kGridSteps + 1) + i + 1)];
            const auto& c = grid[static_cast<std::size_t>((j + 1) * (kGridSteps + 1) + i)];
            const auto& d = grid[static_cast<std::size_t>((j + 1) * (kGridSteps + 1) + i + 1)];
            const double lat = (a.lat * (1 - fx) + b.lat * fx) * (1 - fy) + (c.lat * (1 - fx) + d.lat * fx) * fy;
            const double lon = (a.lon * (1 - fx) + b.lon * fx) * (1 - fy) + (c.lon * (1 - fx) + d.lon * fx) * fy;
            const auto h = heights.at(lat, lon);
            z[static_cast<std::size_t>(y * span + x)] = h ? *h : NAN;
            any = any || h.has_value();
        }
    }
    if (!any)
        return std::nullopt;

    ShadeTile shade{size, std::vector<std::uint8_t>(static_cast<std::size_t>(size) * static_cast<std::size_t>(size))};
    const double across = 2 * metresPerPixel / kExaggeration;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const auto at = [&](int dx, int dy) { return z[static_cast<std::size_t>((y + 1 + dy) * span + x + 1 + dx)]; };
            const float here = at(0, 0);
            if (std::isnan(here))
                continue;
            // A neighbour without a height counts as level with this pixel.
            const auto near = [&](int dx, int dy) {
                const float h = at(dx, dy);
                return std::isnan(h) ? here : h;
            };
            const double towardsEast = (near(1, 0) - near(-1, 0)) / across;
            const double towardsNorth = (near(0, -1) - near(0, 1)) / across;
            const double length = std::sqrt(towardsEast * towardsEast + towardsNorth * towardsNorth + 1);
            const double light = (-towardsEast * kLightEast - towardsNorth * kLightNorth + kLightUp) / length;
            const double dark = std::clamp((kLightUp - light) / kLightUp, 0.0, 1.0);
            shade.alpha[static_cast<std::size_t>(y * size + x)] = static_cast<std::uint8_t>(std::lround(dark * kMostShade));
        }
    }
    return shade;
}

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
// A made-up vector map of a few kilometres around a place, for the demo and
// the screen tour: a river, a lake, forest and meadows, a small town with
// streets, buildings and house numbers, paths and tracks, a peak and the
// amenities a walker looks for. The same place gives the same map.
#pragma once

#include "tools/mapwriter/MapWriter.h"

#include <cstddef>
#include <string>

namespace tw::demomap {

// The square of the demo's pocket query (scripts/demo.sh).
inline constexpr double kDemoLat = 48.8108;
inline constexpr double kDemoLon = 14.3152;

// The zoom the map opens at, written into its header: the streets, paths
// and names read, and the demo's caches stand apart.
inline constexpr int kStartZoom = 16;

// The names a reader of the map can look for.
inline constexpr const char* kRiverName = "Tarnice";
inline constexpr const char* kPeakName = "Kamenný vrch";
inline constexpr int kPeakElevationM = 742;
inline constexpr const char* kTownName = "Tarnovice";

struct DemoMap {
    mapwriter::MapContent content;
    std::size_t pois = 0; // objects of each kind, each counted once
    std::size_t ways = 0;
};

DemoMap demoMap(double lat, double lon);

} // namespace tw::demomap

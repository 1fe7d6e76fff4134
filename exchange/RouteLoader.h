// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <vector>

namespace tw {

// The lines the map draws for a route file: each route, each track segment,
// each KML line string or track is its own line, in file order, so that two
// of them are never joined by a jump from the end of one to the start of the
// next.
using RouteLines = std::vector<std::vector<geo::LatLon>>;

// Points kept of one file, all lines together: far more than the map draws,
// and a bound on the memory a huge file takes. Reading stops there and what
// was read counts.
inline constexpr std::size_t kMaxRoutePoints = 100000;

// Every route and track of a file: GPX 1.0 or 1.1 (rte/rtept, trk/trkseg/
// trkpt), KML (LineString coordinates and gx:Track coordinates, at any depth
// of folders and multi-geometries), an OziExplorer track (PLT) or route (RTE)
// file. The format is told by the content (XML root element, Ozi header line);
// only a file that shows neither is taken by its extension. A point whose
// latitude or longitude does not read or lies outside the globe is left out
// of its line. Nothing when the file cannot be opened, has no known format,
// holds no point, or (XML) ends before its root element does.
std::optional<RouteLines> loadRouteFile(const std::filesystem::path& path);

} // namespace tw

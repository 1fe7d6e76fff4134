// SPDX-License-Identifier: GPL-3.0-or-later
// A real vector map for tests and benchmarks: written from the OpenStreetMap
// extract of Liechtenstein in the shared corpus (osm/*.osm.pbf) by the test
// writer (OsmMapWriter.h), with three zoom intervals (0–7, 8–11, 12–21).
//
// Use: link the CMake target tarnwick_osmmap (it exists where the
// OpenStreetMap library was found at configure time; guard with
// `if(TARGET tarnwick_osmmap)`), include this header and call
// liechtensteinMap(), which gives the file's path. The first call in a
// process reads the extract (a tenth of a second) and writes the map into the
// build tree (build/testdata/osm/) unless the file there already holds the
// same bytes; later calls return at once. The map is never part of the
// repository. An empty path means the corpus is not beside the repository.
#pragma once

#include "tests/maps/OsmMapWriter.h"

#include <cstdint>
#include <filesystem>

namespace tw::maps::osmmap {

// The extract in the shared corpus; empty when the corpus is absent.
std::filesystem::path liechtensteinExtract();

// The written map of the whole extract.
const std::filesystem::path& liechtensteinMap();
// What it was written from and what each of its tiles holds.
const OsmMap& liechtensteinContent();

// The extract in two maps, split at this longitude (each object goes into the
// map of its first node): two neighbouring files for a set of maps.
inline constexpr std::int32_t kLiechtensteinSplitLonE6 = 9'540'000;
struct MapHalves {
    OsmMap west;
    OsmMap east;
    std::filesystem::path westPath;
    std::filesystem::path eastPath;
};
const MapHalves& liechtensteinHalves();

// How long the first call took to read the extract and to write the map.
struct WriteTimes {
    double readSeconds = 0;
    double writeSeconds = 0;
};
WriteTimes liechtensteinWriteTimes();

} // namespace tw::maps::osmmap

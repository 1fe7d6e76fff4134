// SPDX-License-Identifier: GPL-3.0-or-later
// A writer of vector map files for the tests: small maps of known content,
// and the places of their fields, so that a test can damage one.
#pragma once

#include "maps/mapsforge/MapFile.h"
#include "maps/mapsforge/MapFileTypes.h"
#include "tests/TestSupport.h"
#include "tools/mapwriter/MapWriter.h"

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

namespace tw::maps {

// How a failing expectation shows a position.
inline void PrintTo(const MicroPoint& p, std::ostream* out) { *out << "(" << p.latE6 << ", " << p.lonE6 << ")"; }

} // namespace tw::maps

namespace tw::maps::testmap {

// The encoding is the tools' map writer's; the tests add the places of the
// fields, so that a test can damage one, and small maps of known content.
using mapwriter::fixed;
using mapwriter::IntervalContent;
using mapwriter::MapContent;
using mapwriter::PoiContent;
using mapwriter::text;
using mapwriter::TileContent;
using mapwriter::vbeS;
using mapwriter::vbeU;
using mapwriter::WayContent;

struct WrittenMap : mapwriter::MapLayout {
    std::string bytes;
};

WrittenMap writeMap(const MapContent& content);

// A small map of format version 5 around tile 8800/5370 of zoom 14, two
// tiles wide: one sub-file stored at zoom 14 for zoom levels 12 to 16, the
// west tile holding a POI (typed tag, name in two languages, house number,
// elevation) and a way (two data blocks, the first with a hole, a label
// position, double-delta nodes).
MapContent richMap();
inline constexpr std::int64_t kRichX = 8800;
inline constexpr std::int64_t kRichY = 5370;

// A map of one sub-file (zoom levels 12 to 16, stored at 14) with one tile,
// at the tile's north-west corner, whose bytes are block.
MapContent oneTileMap(std::string block);

// Bytes of a written map replaced at a position.
void patch(std::string& bytes, std::size_t at, const std::string& with);

// A temporary folder to write maps into, and readers for them.
class MapFileTest : public ::tw::test::TempDirTest {
protected:
    std::filesystem::path save(const std::string& bytes, const std::string& name = "test.map");
    // The file written and opened; fails the test when it does not open.
    MapFile openWritten(const std::string& bytes, const std::string& name = "test.map");
};

} // namespace tw::maps::testmap

// SPDX-License-Identifier: GPL-3.0-or-later
// A writer of vector map files for the tests: small maps of known content,
// and the places of their fields, so that a test can damage one.
#pragma once

#include "maps/mapsforge/MapFile.h"
#include "maps/mapsforge/MapFileTypes.h"
#include "tests/TestSupport.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tw::maps {

// How a failing expectation shows a position.
inline void PrintTo(const MicroPoint& p, std::ostream* out) { *out << "(" << p.latE6 << ", " << p.lonE6 << ")"; }

} // namespace tw::maps

namespace tw::maps::testmap {

// The variable-length numbers and strings of the format.
std::string vbeU(std::uint64_t value);
std::string vbeS(std::int64_t value);
std::string text(const std::string& s);
std::string fixed(std::uint64_t value, int bytes);

struct PoiContent {
    MicroPoint position;
    int zoom = 0; // the first zoom level of the sub-file it is drawn at
    int layer = 0;
    std::vector<int> tags;
    std::string tagValues; // the encoded values of the list's %-tags, in tag order
    std::optional<std::string> name;
    std::optional<std::string> houseNumber;
    std::optional<int> elevationM;
};

struct WayContent {
    int zoom = 0;
    std::uint16_t subTiles = 0xffff;
    int layer = 0;
    std::vector<int> tags;
    std::string tagValues;
    std::optional<std::string> name;
    std::optional<std::string> houseNumber;
    std::optional<std::string> ref;
    std::optional<MicroPoint> label; // absolute; stored relative to the first node
    bool doubleDelta = false;
    // Way data blocks, each its rings (outer first).
    std::vector<std::vector<std::vector<MicroPoint>>> blocks;
};

struct TileContent {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool water = false;
    std::vector<PoiContent> pois;
    std::vector<WayContent> ways;
    std::optional<std::string> block; // given: the tile's bytes as they are, instead of the above
};

struct IntervalContent {
    int baseZoom = 0;
    int minZoom = 0;
    int maxZoom = 0;
    std::vector<TileContent> tiles; // others of the index stay empty
};

struct MapContent {
    int version = 4;
    MicroBox bounds;
    bool debug = false;
    std::optional<std::string> languages; // the preferred languages of names, e.g. "de,en"
    std::optional<std::string> comment;
    std::vector<std::string> poiTags;
    std::vector<std::string> wayTags;
    std::vector<IntervalContent> intervals;
};

struct WrittenMap {
    std::string bytes;
    std::size_t headerSizeAt = 0;        // the 4-byte header size
    std::size_t intervalsAt = 0;         // the byte that counts the zoom intervals
    std::vector<std::size_t> indexAt;    // each sub-file's first index entry
    std::vector<std::size_t> subFileAt;  // each sub-file's start
    std::vector<std::size_t> tileAt;     // each written tile's block, in content order
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

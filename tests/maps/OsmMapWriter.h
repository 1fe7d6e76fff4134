// SPDX-License-Identifier: GPL-3.0-or-later
// A writer of vector map files from OpenStreetMap data, for the tests: the
// objects of an extract (PBF) are chosen by their tags, given the zoom level
// they are first drawn at, and stored in every tile they touch of three zoom
// intervals. What was written stays at hand (OsmMap), so that a test can
// compare what the reader gives with it object by object.
#pragma once

#include "maps/mapsforge/MapFileTypes.h"
#include "tests/maps/MapFileWriter.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tw::maps::osmmap {

// What an OpenStreetMap object becomes: a POI, a line, an area (a closed way
// or a multipolygon, whose inside belongs to it), or an administrative
// boundary (a multipolygon drawn as its rings only).
enum class Kind { Poi, Line, Area, Boundary };

struct OsmObject {
    std::int64_t osmId = 0; // of the node, way or relation
    Kind kind = Kind::Poi;
    int firstZoom = 0; // the first zoom level it is drawn at
    int layer = 0;
    std::vector<VectorTag> tags;
    std::string name; // in the local language; empty: none
    std::vector<std::pair<std::string, std::string>> names; // other languages: language, name
    std::string houseNumber;
    std::string ref;
    std::optional<int> elevationM;
    // A POI: one block of one ring of its position. A line: one block of one
    // ring. An area or boundary: a block per outer ring, its inner rings after it.
    std::vector<std::vector<std::vector<MicroPoint>>> blocks;
    MicroBox box;                    // of all its nodes
    std::optional<MicroPoint> label; // named areas: the centre of the first outer ring's box
    bool water = false;              // an area of water

    MicroPoint position() const { return blocks.at(0).at(0).at(0); }
    // The name as the file stores it: the local one, then language and name
    // pairs, all separated by a backspace.
    std::string storedName() const;
    // The name a reader asked for the language should give.
    std::string nameIn(std::string_view language) const;
};

struct OsmData {
    std::vector<OsmObject> objects;
    MicroBox bounds; // of every node of every object
};

// The objects of the extract. Throws std::runtime_error when it does not read.
OsmData readOsm(const std::filesystem::path& pbf);

// The objects whose first node lies west (west = true) or east of lonE6.
OsmData splitAt(const OsmData& data, std::int32_t lonE6, bool west);

struct IntervalPlan {
    int baseZoom = 0;
    int minZoom = 0;
    int maxZoom = 0;
};
// As the format document's own example: 0–7, 8–11 and 12–21, stored at the
// zoom levels 5, 10 and 14.
inline constexpr IntervalPlan kIntervals[] = {{5, 0, 7}, {10, 8, 11}, {14, 12, 21}};

// The zoom level of the zoom table row an object is in within an interval;
// objects first drawn beyond the interval are not in it.
inline int zoomRow(const OsmObject& o, const IntervalPlan& z) { return o.firstZoom < z.minZoom ? z.minZoom : o.firstZoom; }
inline bool inInterval(const OsmObject& o, const IntervalPlan& z) { return o.firstZoom <= z.maxZoom; }

// The objects of one stored tile, as written: ordered by their zoom row.
struct TileObjects {
    std::int64_t x = 0;
    std::int64_t y = 0;
    bool water = false;
    std::vector<std::size_t> pois; // indices into OsmData::objects
    std::vector<std::size_t> ways;
    std::vector<std::uint16_t> subTiles; // of each way
};

struct OsmMap {
    OsmData data;
    testmap::MapContent content;
    std::vector<std::vector<TileObjects>> tiles; // per interval, the tiles that hold objects
    std::string bytes;                           // the written file

    // The stored tile, or nullptr when it holds nothing.
    const TileObjects* tile(std::size_t interval, std::int64_t x, std::int64_t y) const;
};

// The map of the data: format version 4, the intervals above, names in
// German, English, French and Italian besides the local ones.
OsmMap writeOsmMap(OsmData data);

// The area of a slippy-map tile, edges included, in the microdegrees the
// reader counts a tile's positions in.
MicroBox tileBox(std::int64_t x, std::int64_t y, int zoom);
// Whether the object lies on the box: a node or segment on it, or, of an
// area, the box's centre inside.
bool touches(const OsmObject& o, const MicroBox& box);
// Whether an area of water covers the whole box.
bool covers(const OsmObject& o, const MicroBox& box);

} // namespace tw::maps::osmmap

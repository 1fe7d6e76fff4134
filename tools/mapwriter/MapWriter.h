// SPDX-License-Identifier: GPL-3.0-or-later
// A writer of vector map files: the content of a map, tile by tile, made into
// the bytes of the file. What goes into which tile is the caller's choice.
#pragma once

#include "maps/mapsforge/MapFileTypes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::mapwriter {

using maps::MicroBox;
using maps::MicroPoint;

// The variable-length numbers and strings of the format.
std::string vbeU(std::uint64_t value);
std::string vbeS(std::int64_t value);
std::string text(const std::string& s);
// A big-endian number of the given number of bytes.
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
    std::optional<MicroPoint> startPosition; // where a viewer first opens the map
    std::optional<int> startZoom;            // the zoom it opens at, 0–255
    std::optional<std::string> languages; // the preferred languages of names, e.g. "de,en"
    std::optional<std::string> comment;
    std::vector<std::string> poiTags;
    std::vector<std::string> wayTags;
    std::vector<IntervalContent> intervals;
};

// Where the writer put the parts of the file.
struct MapLayout {
    std::size_t headerSizeAt = 0;        // the 4-byte header size
    std::size_t intervalsAt = 0;         // the byte that counts the zoom intervals
    std::vector<std::size_t> indexAt;    // each sub-file's first index entry
    std::vector<std::size_t> subFileAt;  // each sub-file's start
    std::vector<std::size_t> tileAt;     // each written tile's block, in content order
};

// One ring's coordinates as a way stores them: the point count, then each
// point's offset from the one before (the first from origin), or with
// doubleDelta each offset's change from the offset before.
std::string ringBytes(const std::vector<MicroPoint>& ring, MicroPoint origin, bool doubleDelta);

// The file's bytes; the same content gives the same bytes. Throws
// std::logic_error for a tile outside the map's bounds.
std::string encodeMap(const MapContent& content, MapLayout* layout = nullptr);

} // namespace tw::mapwriter

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/VectorTag.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tw::maps {

/** Why a vector map file (or one tile of it) could not be read. */
enum class MapFileError {
    None,
    CannotOpen,         // no such file, no permission
    NotAMapFile,        // the magic bytes are wrong
    UnsupportedVersion, // a format version other than 3, 4 or 5
    BadHeader,          // a header field out of range or running past the header
    Truncated,          // the file is shorter than its header says
    BadIndex,           // a tile index entry outside its sub-file or pointing backwards
    BadTile,            // the data of a tile does not read
    TileTooLarge,       // a tile block or its decoded data beyond the reader's limits
    TooManyTiles,       // a zoom so far below a sub-file's base that too many tiles would be merged
    BadRequest,         // a tile number outside its zoom level, or no file open
};

/** A short English name of the error, for logs. */
const char* mapFileErrorName(MapFileError error);

/** A position in microdegrees (degrees × 10⁶), as the map file stores it. */
struct MicroPoint {
    std::int32_t latE6 = 0;
    std::int32_t lonE6 = 0;

    friend bool operator==(const MicroPoint&, const MicroPoint&) = default;
};

/** The area a map file covers, in microdegrees. */
struct MicroBox {
    std::int32_t minLatE6 = 0;
    std::int32_t minLonE6 = 0;
    std::int32_t maxLatE6 = 0;
    std::int32_t maxLonE6 = 0;
};

/** How a tag of the file's tag lists gets its value. Fixed: the value is part
 *  of the list ("highway=path"). The others (format version 5, written
 *  "ele=%i" in the list) are read from each POI or way after its tag numbers:
 *  a signed byte (%b), a 2-byte short (%h), a 4-byte int (%i), a 4-byte IEEE
 *  float (%f), all big-endian, or a string (%s). */
enum class TagValueType { Fixed, Byte, Short, Int, Float, String };

struct TagEntry {
    VectorTag tag; // value empty when type is not Fixed
    TagValueType type = TagValueType::Fixed;
};

/** One sub-file: the objects drawn at zoom levels minZoom..maxZoom, stored
 *  in tiles of baseZoom. start and size count bytes from the file's start. */
struct ZoomInterval {
    int baseZoom = 0;
    int minZoom = 0;
    int maxZoom = 0;
    std::uint64_t start = 0;
    std::uint64_t size = 0;
};

/** The file header; the optional fields are empty when the file leaves them
 *  out. */
struct MapFileHeader {
    int version = 0;
    std::uint64_t fileSize = 0;
    std::int64_t creationMs = 0; // milliseconds since 1970-01-01 UTC
    MicroBox bounds;
    int tileSizePx = 0;
    std::string projection;
    bool debug = false; // signatures before the index, each tile, POI and way
    std::optional<MicroPoint> startPosition;
    std::optional<int> startZoom;
    std::string languages; // preferred languages of names, e.g. "en" or "de,en"
    std::string comment;
    std::string createdBy;
    std::vector<TagEntry> poiTags;
    std::vector<TagEntry> wayTags;
    std::vector<ZoomInterval> intervals;
};

/** A point of interest. */
struct MapPoi {
    MicroPoint position;
    int layer = 0; // the OpenStreetMap layer, -5..10
    std::vector<VectorTag> tags;
    std::string name; // in the asked language where the file has it
    std::string houseNumber;
    std::optional<int> elevationM;
};

/** A way, or one part of a way the file stores in several parts. rings[0]
 *  is the line or outer ring; further rings are the inner rings (holes) of a
 *  multipolygon. */
struct MapWay {
    int layer = 0;
    std::vector<VectorTag> tags;
    std::string name;
    std::string houseNumber;
    std::string ref;
    std::optional<MicroPoint> labelPosition;
    std::vector<std::vector<MicroPoint>> rings;
};

/** The objects of one tile. A way that crosses tile borders is in every tile
 *  it touches, often cut to the tile and a small margin around it (areas are
 *  then closed along that margin); when a tile is merged from several stored
 *  tiles such a way comes once per stored tile. */
struct MapTile {
    std::vector<MapPoi> pois;
    std::vector<MapWay> ways;
    bool water = false; // the file marks the tile as entirely covered by water

    void clear()
    {
        pois.clear();
        ways.clear();
        water = false;
    }
};

/** A slippy-map tile: x from the west, y from the north, 0 ≤ x, y < 2^zoom. */
struct MapTileId {
    int zoom = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
};

} // namespace tw::maps

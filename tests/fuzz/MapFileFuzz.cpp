// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: a damaged vector map file, opened and read at zoom
// levels around each sub-file's base zoom; and the same bytes decoded as a
// single tile, whose data is otherwise hard to reach past header and index.
#include "maps/mapsforge/MapFile.h"
#include "maps/mapsforge/TileDecoder.h"
#include "maps/mapsforge/TileMath.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>

namespace {

using namespace tw::maps;

MapFileHeader makeHeader(bool debug)
{
    MapFileHeader h;
    h.version = 5;
    h.debug = debug;
    h.poiTags = {{{"amenity", "cafe"}, TagValueType::Fixed}, {{"ele", ""}, TagValueType::Int},
                 {{"name", ""}, TagValueType::String}};
    h.wayTags = {{{"highway", "path"}, TagValueType::Fixed}, {{"width", ""}, TagValueType::Float},
                 {{"lanes", ""}, TagValueType::Byte}, {{"level", ""}, TagValueType::Short}};
    return h;
}

const MapFileHeader& tileHeader(bool debug)
{
    static const MapFileHeader plain = makeHeader(false);
    static const MapFileHeader withSignatures = makeHeader(true);
    return debug ? withSignatures : plain;
}

void readFile(const std::uint8_t* data, std::size_t size)
{
    const auto path = tw::fuzz::scratchFile("map.map", data, size);
    MapFile map;
    if (!map.open(path))
        return;
    MapTile tile;
    const MicroBox& b = map.header().bounds;
    for (const ZoomInterval& z : map.header().intervals) {
        for (const int zoom : {z.baseZoom - 1, z.baseZoom, z.baseZoom + 1, z.baseZoom + 3, z.maxZoom + 1}) {
            if (zoom < 0 || zoom > tilemath::kMaxZoom)
                continue;
            const std::int64_t top = tilemath::latToTileY(b.maxLatE6, zoom);
            const std::int64_t left = tilemath::lonToTileX(b.minLonE6, zoom);
            const std::int64_t bottom = std::min(tilemath::latToTileY(b.minLatE6, zoom), top + 2);
            const std::int64_t right = std::min(tilemath::lonToTileX(b.maxLonE6, zoom), left + 2);
            for (std::int64_t y = top; y <= bottom; ++y)
                for (std::int64_t x = left; x <= right; ++x)
                    (void)map.readTile({zoom, x, y}, "en", tile);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    readFile(data, size);
    if (size > 1) {
        const std::uint8_t mode = data[0];
        TileFilter filter;
        filter.tableRows = 1 + (mode & 3);
        filter.rows = 1 + ((mode >> 2) & 3);
        filter.subTiles = static_cast<std::uint16_t>(0x8000 >> ((mode >> 4) & 7));
        filter.clipPois = mode & 0x80;
        filter.bounds = {-1000, -1000, 1000, 1000};
        MapTile tile;
        std::size_t budget = MapFile::kMaxTileMemoryBytes;
        std::string detail;
        (void)decodeTile(ByteReader(data + 1, size - 1), tileHeader(mode & 0x40), {500, -500}, filter, "de", tile,
                         budget, detail);
    }
    return 0;
}

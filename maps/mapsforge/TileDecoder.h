// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/mapsforge/ByteReader.h"
#include "maps/mapsforge/MapFileTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::maps {

/** What of a stored tile is wanted. */
struct TileFilter {
    int tableRows = 0; // rows of the zoom table: zoom levels of the sub-file
    int rows = 0;      // rows taken: the sub-file's zoom levels up to the one asked for
    // The sub-tiles (bit 15: north-west, then row by row) of the tile asked
    // for; a way is taken when its bitmap shares one of them.
    std::uint16_t subTiles = 0xffff;
    // When the tile asked for is smaller than the stored one: POIs outside
    // it are left out.
    bool clipPois = false;
    MicroBox bounds;
};

/** Decodes one stored tile (the bytes its index entry points to) and adds
 *  its objects to out. origin is the tile's north-west corner. Each decoded
 *  object's size is taken from memoryBudget; an object beyond it fails with
 *  TileTooLarge. Returns None, or the error with detail set. */
MapFileError decodeTile(ByteReader block, const MapFileHeader& header, MicroPoint origin, const TileFilter& filter,
                        std::string_view language, MapTile& out, std::size_t& memoryBudget, std::string& detail);

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/mapsforge/MapFile.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tw::maps {

/** Several map files drawn as one map (neighbouring regions, each in a file
 *  of its own): a tile holds the objects of every file that covers it.
 *  Not thread-safe, as MapFile. */
class MapFileSet {
public:
    /** Opens the file and adds it; false (and nothing added) when it does
     *  not open, with the reason in error(). */
    bool add(const std::filesystem::path& path);
    std::size_t size() const { return m_files.size(); }
    const MapFile& file(std::size_t i) const { return m_files[i]; }

    /** Whether any file covers the tile. */
    bool covers(const MapTileId& tile) const;

    /** The tile's objects from all files that cover it, in the order the
     *  files were added. A file whose data does not read is left out; then
     *  the result is false, with that file's error in error() and the other
     *  files' objects in out. */
    bool readTile(const MapTileId& tile, std::string_view language, MapTile& out);

    MapFileError error() const { return m_error; }
    /** The failing file's name and what went wrong, for logs. */
    const std::string& errorDetail() const { return m_detail; }

private:
    std::vector<MapFile> m_files;
    MapTile m_part; // one file's share of a tile, kept for its capacity
    MapFileError m_error = MapFileError::None;
    std::string m_detail;
};

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/mapsforge/MapFileTypes.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tw::maps {

/** A vector map file (format versions 3 to 5), read tile by tile.
 *
 *  The file stays open while the object lives; each tile is read from disk
 *  with bounded reads, nothing else is held but the header. Every offset,
 *  count and length is checked against the file and the block it is in, so a
 *  damaged or crafted file gives an error, never a crash or an unbounded
 *  allocation: a stored tile over kMaxTileBlockBytes, or a tile whose decoded
 *  objects would take more than kMaxTileMemoryBytes, is refused.
 *
 *  Not thread-safe: one MapFile per thread (they may open the same file), or
 *  a mutex around every call. */
class MapFile {
public:
    static constexpr std::size_t kMaxHeaderBytes = 4 << 20;
    static constexpr std::size_t kMaxTileBlockBytes = 8 << 20;
    static constexpr std::size_t kMaxTileMemoryBytes = 64 << 20;
    // A tile far below a sub-file's base zoom is merged from at most this
    // many stored tiles (those inside the file's bounds).
    static constexpr std::int64_t kMaxMergedTiles = 256;

    MapFile() = default;
    ~MapFile();
    MapFile(const MapFile&) = delete;
    MapFile& operator=(const MapFile&) = delete;
    MapFile(MapFile&& other) noexcept;
    MapFile& operator=(MapFile&& other) noexcept;

    /** Opens the file and reads its header; false with error() set when it
     *  is no map file this reader can read. */
    bool open(const std::filesystem::path& path);
    bool isOpen() const { return m_fd >= 0; }
    const std::filesystem::path& path() const { return m_path; }
    const MapFileHeader& header() const { return m_header; }

    /** Whether the file's bounds overlap the tile. */
    bool covers(const MapTileId& tile) const;

    /** The POIs and ways to draw on the tile at its zoom level, names in the
     *  given language (ISO 639-1, e.g. "de"; empty: the names the file gives
     *  first). Zoom levels beyond the file's last interval show that
     *  interval's objects. A tile outside the file's bounds is empty. false
     *  with error() set when the data does not read; out then holds what was
     *  read before. */
    bool readTile(const MapTileId& tile, std::string_view language, MapTile& out);

    /** The last error (None after a call that succeeded) and a short English
     *  detail for logs. */
    MapFileError error() const { return m_error; }
    const std::string& errorDetail() const { return m_detail; }

private:
    bool fail(MapFileError error, std::string detail);
    bool readAt(std::uint64_t offset, std::size_t size, std::uint8_t* out);
    bool readHeader();
    const ZoomInterval& intervalFor(int zoom) const;
    bool readBaseTile(const ZoomInterval& interval, std::int64_t x, std::int64_t y, const struct TileFilter& filter,
                      std::string_view language, MapTile& out, std::size_t& memoryBudget, bool& water);

    std::filesystem::path m_path;
    int m_fd = -1;
    std::uint64_t m_size = 0;
    MapFileHeader m_header;
    std::vector<std::uint8_t> m_block; // the tile block being decoded, kept for its capacity
    MapFileError m_error = MapFileError::None;
    std::string m_detail;
};

/** Of a name stored in several languages ("default\ben\bEnglish\bde\bDeutsch":
 *  the name in the default language, then language and name pairs, all
 *  separated by a backspace), the one of language, else the default one. */
std::string_view nameInLanguage(std::string_view stored, std::string_view language);

} // namespace tw::maps

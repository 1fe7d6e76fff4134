// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Database.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tw::maps {

using TileBytes = std::vector<std::uint8_t>;

/** The key of a tile in a single-file tile database. z is 17 − zoom, so
 *  zoom 17 is stored as 0 and zoom 18 as −1. An empty set name is stored as
 *  the integer 0, as other tools write it. */
struct TileKey {
    int x = 0;
    int y = 0;
    int z = 0;
    std::string set;
};

inline constexpr int kTileDbZoomBase = 17;
inline int tileDbZ(int zoom) { return kTileDbZoomBase - zoom; }

/** A single-file tile database: tiles(x, y, z, s, image), rows counted
 *  from the north. Created with its tables on first open. Keys are always
 *  given with z = 17 − zoom; a file whose `info` table says in its column
 *  `tilenumbering` that it numbers zooms plainly (anything but "BigPlanet")
 *  stores z = zoom, and the database converts. Each thread uses a
 *  connection of its own: the window thread reads and deletes, the download
 *  worker writes. */
class TileDatabase {
public:
    explicit TileDatabase(std::filesystem::path path, Prompter* prompter = nullptr);
    ~TileDatabase();
    TileDatabase(const TileDatabase&) = delete;
    TileDatabase& operator=(const TileDatabase&) = delete;

    /** Creates the folders, opens or creates the file and its tables. False
     *  leaves the database closed: reads find nothing, deletes do nothing. */
    bool open();
    bool isOpen() const { return m_open; }
    const std::filesystem::path& path() const { return m_path; }

    /** With matchSet the set name takes part in the lookup (tiles of several
     *  map types in one file); without it any set matches. */
    std::optional<TileBytes> read(const TileKey& key, bool matchSet);
    bool contains(const TileKey& key, bool matchSet);
    /** Stores the image, replacing a tile with the same key. */
    bool write(const TileKey& key, const void* data, std::size_t size);
    /** Deletes every set of the tile; an error is shown and rolled back. */
    void remove(int x, int y, int z);

    /** The file stores z as the zoom itself rather than 17 − zoom. */
    bool plainZoom() const { return m_plainZoom; }
    /** Why the file could not be opened or read (SQLite's words); empty
     *  while nothing failed. */
    const std::string& problem() const { return m_problem; }

private:
    void readZoomNumbering();
    int storedZ(int z) const { return m_plainZoom ? kTileDbZoomBase - z : z; }

    std::filesystem::path m_path;
    // Bounds every read, and refuses a file whose `tiles` is no table.
    bool readsFromATable();

    SQLite::Database m_db;
    bool m_open = false;
    bool m_plainZoom = false;
    std::string m_problem;
    std::mutex* m_writeLock = nullptr;
};

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Database.h"
#include "maps/TileDatabase.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tw::maps {

/** MBTiles, read only: the format most offline-map users already have. Rows
 *  count from the south (TMS); zoom is stored as it is. */
class MbTilesReader {
public:
    explicit MbTilesReader(std::filesystem::path path);
    ~MbTilesReader();
    MbTilesReader(const MbTilesReader&) = delete;
    MbTilesReader& operator=(const MbTilesReader&) = delete;

    /** column and row as slippy-map tiles count them (row 0 in the north). */
    std::optional<TileBytes> read(int zoom, int column, int row);
    bool isOpen() const { return m_open; }
    /** Why the file could not be opened or read (SQLite's words); empty
     *  while nothing failed. A missing file is no problem: nothing to read. */
    const std::string& problem() const { return m_problem; }

private:
    void noteProblem(const std::string& what);
    // Bounds every query and chooses the tables tiles are read from; false
    // when there are none (a `tiles` view is never run: it may recurse).
    bool readsFromATable();

    std::filesystem::path m_path;
    SQLite::Database m_db;
    bool m_open = false;
    std::string m_problem;
    const char* m_query = nullptr;
};

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MbTilesReader.h"

#include "db/SqlError.h"
#include "db/Statement.h"
#include "maps/TileQueryBudget.h"

#include <sqlite3.h>

namespace fs = std::filesystem;

namespace tw::maps {

MbTilesReader::MbTilesReader(fs::path path) : m_path(std::move(path))
{
    std::error_code ec;
    // Never create the file: it belongs to the user.
    if (!fs::is_regular_file(m_path, ec))
        return;
    m_open = m_db.Open(m_path.string()) == SQLITE_OK;
    if (!m_open) {
        noteProblem("cannot open the file");
        return;
    }
    m_open = readsFromATable();
    if (!m_open) {
        // Not a database, a damaged schema, or no table of tiles at all.
        const int code = sqlite3_errcode(m_db.handle());
        noteProblem(code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE ? sqlite3_errmsg(m_db.handle())
                                                                                    : "no table of tiles");
    }
}

void MbTilesReader::noteProblem(const std::string& what)
{
    if (m_problem.empty())
        m_problem = what.empty() ? "cannot read the file" : what;
}

bool MbTilesReader::readsFromATable()
{
    limitTileQueries(m_db.handle());
    sqlite3* db = m_db.handle();
    if (hasTileTable(db, "tiles")) {
        m_query = "SELECT `tile_data` FROM `tiles` WHERE `zoom_level` = ? AND `tile_column` = ? AND `tile_row` = ?";
        return true;
    }
    // Most files keep each image once and make `tiles` a view over `map`
    // and `images`. The file's own view is never run: the same join is.
    if (hasTileTable(db, "map") && hasTileTable(db, "images")) {
        m_query = "SELECT `images`.`tile_data` FROM `map` JOIN `images` ON `images`.`tile_id` = `map`.`tile_id` "
                  "WHERE `map`.`zoom_level` = ? AND `map`.`tile_column` = ? AND `map`.`tile_row` = ?";
        return true;
    }
    return false;
}

MbTilesReader::~MbTilesReader() = default;

std::optional<TileBytes> MbTilesReader::read(int zoom, int column, int row)
{
    if (!m_open || zoom < 0 || zoom > 30)
        return std::nullopt;
    const long long rows = 1LL << zoom;
    try {
        const TileQueryBudget budget;
        SQLite::Statement st(m_db, m_query);
        st.BindInt(1, zoom);
        st.BindInt(2, column);
        st.BindInt(3, rows - 1 - row);
        // Next, not Step: a damaged page must throw, not pass for "no tile".
        if (!st.Next())
            return std::nullopt;
        auto blob = st.ColumnBlob(0);
        return TileBytes(blob.begin(), blob.end());
    } catch (const SQLite::Error& e) {
        // Not a database, a damaged page, no tiles at all: the map stays
        // blank, and the screen says why.
        noteProblem(e.message);
        return std::nullopt;
    }
}

} // namespace tw::maps

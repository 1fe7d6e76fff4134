// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MbTilesReader.h"

#include "db/SqlError.h"
#include "db/Statement.h"

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
    if (!m_open)
        noteProblem("cannot open the file");
}

void MbTilesReader::noteProblem(const std::string& what)
{
    if (m_problem.empty())
        m_problem = what.empty() ? "cannot read the file" : what;
}

MbTilesReader::~MbTilesReader() = default;

std::optional<TileBytes> MbTilesReader::read(int zoom, int column, int row)
{
    if (!m_open || zoom < 0 || zoom > 30)
        return std::nullopt;
    const long long rows = 1LL << zoom;
    try {
        SQLite::Statement st(m_db, "SELECT `tile_data` FROM `tiles` WHERE `zoom_level` = ? AND `tile_column` = ? "
                                   "AND `tile_row` = ?");
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter/CachePositions.h"

namespace tw {

CachePositions::Position positionOf(const SQLite::Statement& row)
{
    CachePositions::Position p;
    p.key = row.columnInt64(0);
    p.null = row.columnIsNull(1) || row.columnIsNull(2);
    if (!p.null) {
        p.x = row.ColumnDouble(1);
        p.y = row.ColumnDouble(2);
    }
    return p;
}

const std::vector<CachePositions::Position>& CachePositions::of(SQLite::Database& db)
{
    const SQLite::Database::ContentVersion version = db.contentVersion();
    if (m_db == &db && version == m_version)
        return m_positions;
    m_db = nullptr; // until read whole
    m_positions.clear();
    SQLite::Statement every(db, "SELECT `key`, `x`, `y` FROM `geocache`");
    while (every.Next())
        m_positions.push_back(positionOf(every));
    m_db = &db;
    m_version = version;
    return m_positions;
}

} // namespace tw

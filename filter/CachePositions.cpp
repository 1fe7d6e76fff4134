// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter/CachePositions.h"

#include <algorithm>

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

namespace {

// Past this many rows written, reading them one by one costs more than
// reading all.
constexpr std::size_t kMostRowsReadAgain = 4096;

} // namespace

bool CachePositions::readWritten(SQLite::Database& db)
{
    std::vector<std::int64_t> keys;
    if (!db.cacheWritesSince(m_writes, keys))
        return false;
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (keys.size() > kMostRowsReadAgain)
        return false;
    if (!keys.empty()) {
        std::erase_if(m_positions,
                      [&keys](const Position& p) { return std::binary_search(keys.begin(), keys.end(), p.key); });
        SQLite::Statement row(db, "SELECT `key`, `x`, `y` FROM `geocache` WHERE `key` = ?");
        for (const std::int64_t key : keys) {
            row.rewind();
            row.BindInt(1, key);
            if (row.Next())
                m_positions.push_back(positionOf(row));
        }
    }
    // Every row now in the table was either kept or read again: were the
    // counts to differ, a statement deleted rows without telling the log,
    // and some of the kept ones are gone.
    SQLite::Statement count(db, "SELECT count(*) FROM `geocache`");
    return count.Next() && count.columnInt64(0) == static_cast<std::int64_t>(m_positions.size());
}

const std::vector<CachePositions::Position>& CachePositions::of(SQLite::Database& db)
{
    const SQLite::Database::ContentVersion version = db.contentVersion();
    if (m_db == &db && version == m_version)
        return m_positions;
    // The same open, and no other connection wrote since.
    const bool ownWrites = m_db == &db && version[0] == m_version[0] && version[1] == m_version[1];
    m_db = nullptr; // until read
    const std::uint64_t writes = db.cacheWrites();
    if (!ownWrites || !readWritten(db)) {
        m_positions.clear();
        SQLite::Statement every(db, "SELECT `key`, `x`, `y` FROM `geocache`");
        while (every.Next())
            m_positions.push_back(positionOf(every));
    }
    // Inside a transaction the rows read may yet be rolled back, which
    // changes no version: such positions serve this call only.
    if (db.transactionOpen())
        return m_positions;
    m_db = &db;
    m_version = version;
    m_writes = writes;
    return m_positions;
}

} // namespace tw

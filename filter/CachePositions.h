// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Database.h"
#include "db/Statement.h"

#include <cstdint>
#include <vector>

namespace tw {

// The key and position of every cache, kept from one list load to the next
// while the database holds what it held: reading them is most of the work of
// ordering a large table.
class CachePositions {
public:
    struct Position {
        std::int64_t key = 0;
        double x = 0.0;
        double y = 0.0;
        bool null = false; // x or y is NULL
    };
    // Brought up to date when the database changed since the last call:
    // after writes of this connection alone only the rows written are read
    // again, otherwise all. Lets SQLite::Error through.
    const std::vector<Position>& of(SQLite::Database& db);

private:
    // Reads the rows the connection wrote since the last call; false when
    // they are not known and everything must be read.
    bool readWritten(SQLite::Database& db);

    std::vector<Position> m_positions;
    SQLite::Database::ContentVersion m_version{};
    std::uint64_t m_writes = 0; // the connection's log of cache writes, when read
    const SQLite::Database* m_db = nullptr;
};

// The position of a row giving `key`, `x` and `y`.
CachePositions::Position positionOf(const SQLite::Statement& row);

} // namespace tw

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
    // Read again when the database changed since the last call. Lets
    // SQLite::Error through.
    const std::vector<Position>& of(SQLite::Database& db);

private:
    std::vector<Position> m_positions;
    SQLite::Database::ContentVersion m_version{};
    const SQLite::Database* m_db = nullptr;
};

// The position of a row giving `key`, `x` and `y`.
CachePositions::Position positionOf(const SQLite::Statement& row);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <string_view>

namespace tw::maps {

// Tile files come from anywhere, and a crafted one (a `tiles` view that
// recurses, a table scan over gigabytes) must not hold the thread that draws
// the map. Reads run under a budget: SQLite's progress handler interrupts a
// statement that outlasts it, and the read then finds no tile.
inline constexpr std::chrono::milliseconds kTileQueryBudget{250};

namespace detail {
inline thread_local std::chrono::steady_clock::time_point queryDeadline = std::chrono::steady_clock::time_point::max();
inline int pastQueryDeadline(void*)
{
    return std::chrono::steady_clock::now() > queryDeadline ? 1 : 0;
}
} // namespace detail

// Lets QueryBudget interrupt the statements of db; statements outside a
// budget (writes) run as long as they need.
inline void limitTileQueries(sqlite3* db)
{
    sqlite3_progress_handler(db, 1000, detail::pastQueryDeadline, nullptr);
}

// The statements this thread runs while it lives end within the budget.
class TileQueryBudget {
public:
    explicit TileQueryBudget(std::chrono::milliseconds budget = kTileQueryBudget) : m_saved(detail::queryDeadline)
    {
        detail::queryDeadline = std::chrono::steady_clock::now() + budget;
    }
    ~TileQueryBudget() { detail::queryDeadline = m_saved; }
    TileQueryBudget(const TileQueryBudget&) = delete;
    TileQueryBudget& operator=(const TileQueryBudget&) = delete;

private:
    std::chrono::steady_clock::time_point m_saved;
};

// True when db has a table of that name: tiles are read only from a table,
// never from a view (which can recurse without end) or anything else.
inline bool hasTileTable(sqlite3* db, const char* name)
{
    TileQueryBudget budget;
    sqlite3_stmt* st = nullptr;
    bool table = false;
    if (sqlite3_prepare_v2(db, "SELECT type FROM sqlite_master WHERE name = ?", -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, name, -1, SQLITE_STATIC);
        if (sqlite3_step(st) == SQLITE_ROW) {
            const auto* type = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            table = type && std::string_view(type) == "table";
        }
    }
    sqlite3_finalize(st);
    return table;
}

} // namespace tw::maps

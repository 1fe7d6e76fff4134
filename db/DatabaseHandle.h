// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Database.h"

#include <sqlite3.h>

namespace SQLite {

// The shared part of a prepared statement. Close() finalises it through the
// registry of its connection and leaves stmt null.
struct Database::Handle {
    sqlite3_stmt* stmt = nullptr;
    bool cached = false;

    ~Handle()
    {
        if (stmt)
            sqlite3_finalize(stmt);
    }
};

} // namespace SQLite

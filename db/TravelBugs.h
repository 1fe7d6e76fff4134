// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CTravelBug.h"

#include <string>
#include <vector>

namespace SQLite {
class Database;
}

// The travel bugs of each cache, in a table of the program's own beside the
// cache tables: `travelbug` (`key`, `id` = the cache code, `gs_tbid`, `ref`,
// `name`). Other programs that read the database do not know it and leave
// it alone; it is created in databases that lack it. Every function here
// throws SQLite::Error.
namespace tw {

// Creates the table and its index when missing.
void createTravelBugTable(SQLite::Database& db);

// The cache's travel bugs become exactly these (in their order), inside the
// caller's transaction.
void replaceTravelBugs(SQLite::Database& db, const std::string& code, const std::vector<CTravelBug>& bugs);
// Within the caller's transaction.
void deleteTravelBugs(SQLite::Database& db, const std::string& code);
// In the order they were stored; none for a database without the table.
std::vector<CTravelBug> loadTravelBugs(SQLite::Database& db, const std::string& code);

} // namespace tw

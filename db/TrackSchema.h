// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace SQLite {
class Database;
}

namespace tw {

// Creates the track tables when missing and adds the `hdop` column to a
// `track_log` of an older version. Throws SQLite::Error.
void createOrUpgradeTrackTables(SQLite::Database& db);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/TrackSchema.h"

#include "db/Database.h"
#include "db/Statement.h"

#include <sqlite3.h>

namespace tw {
namespace {

void run(SQLite::Database& db, const char* sql)
{
    SQLite::Statement(db, sql).stepDone();
}

} // namespace

void createOrUpgradeTrackTables(SQLite::Database& db)
{
    run(db, "CREATE TABLE IF NOT EXISTS track_log (key INTEGER PRIMARY KEY AUTOINCREMENT,trackid INTEGER,"
            "date INTEGER,time INTEGER,lat DOUBLE,lon DOUBLE,alt DOUBLE,hdop DOUBLE);");
    run(db, "CREATE TABLE IF NOT EXISTS track_name (trackid INTEGER PRIMARY KEY  NOT NULL  UNIQUE,name TEXT);");

    std::string sql;
    {
        SQLite::Statement query(db, "SELECT sql FROM sqlite_master WHERE `type` = 'table' AND `tbl_name` = 'track_log'");
        if (query.Step() == SQLITE_ROW)
            sql = query.ColumnText(0);
    }
    if (sql.find("hdop") == std::string::npos)
        run(db, "ALTER TABLE track_log ADD COLUMN hdop DOUBLE");
}

} // namespace tw

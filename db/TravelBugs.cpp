// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/TravelBugs.h"

#include "db/Database.h"
#include "db/Statement.h"

namespace tw {

void createTravelBugTable(SQLite::Database& db)
{
    SQLite::Statement(db, "CREATE TABLE IF NOT EXISTS `travelbug` (`key` INTEGER PRIMARY KEY, `id` TEXT, "
                          "`gs_tbid` INTEGER, `ref` TEXT, `name` TEXT)")
        .stepDone();
    SQLite::Statement(db, "CREATE INDEX IF NOT EXISTS `travelbug_id` ON `travelbug` (`id`)").stepDone();
}

void deleteTravelBugs(SQLite::Database& db, const std::string& code)
{
    SQLite::Statement drop = db.prepareCached("DELETE FROM `travelbug` WHERE `id` = ?");
    drop.BindText(1, code);
    drop.stepDone();
}

void replaceTravelBugs(SQLite::Database& db, const std::string& code, const std::vector<CTravelBug>& bugs)
{
    deleteTravelBugs(db, code);
    if (bugs.empty())
        return;
    SQLite::Statement insert =
        db.prepareCached("INSERT INTO `travelbug` (`id`, `gs_tbid`, `ref`, `name`) VALUES (?, ?, ?, ?)");
    for (const CTravelBug& bug : bugs) {
        insert.Reset();
        insert.BindText(1, code);
        insert.BindInt(2, bug.id);
        insert.BindText(3, bug.ref);
        insert.BindText(4, bug.name);
        insert.stepDone();
    }
}

std::vector<CTravelBug> loadTravelBugs(SQLite::Database& db, const std::string& code)
{
    std::vector<CTravelBug> bugs;
    // A database another program made, opened only to read, may lack it.
    SQLite::Statement table =
        db.prepareCached("SELECT 1 FROM `sqlite_master` WHERE `type` = 'table' AND `name` = 'travelbug'");
    const bool present = table.Next();
    table.Reset();
    if (!present)
        return bugs;
    SQLite::Statement query =
        db.prepareCached("SELECT `gs_tbid`, `ref`, `name` FROM `travelbug` WHERE `id` = ? ORDER BY `key`");
    query.BindText(1, code);
    while (query.Next())
        bugs.push_back({query.ColumnInt(0), query.ColumnText(1), query.ColumnText(2)});
    query.Reset();
    return bugs;
}

} // namespace tw

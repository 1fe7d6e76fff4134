// SPDX-License-Identifier: GPL-3.0-or-later
// The template database is read by column position everywhere: its layout
// is a contract.
#include "db/Database.h"
#include "db/Statement.h"
#include "db/TrackSchema.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

namespace tw {
namespace {

std::vector<std::string> columnsOf(SQLite::Database& db, const std::string& table)
{
    std::vector<std::string> names;
    SQLite::Statement info(db, "PRAGMA table_info(`" + table + "`)");
    while (info.Step() == SQLITE_ROW)
        names.push_back(info.ColumnText(1));
    return names;
}

struct TableLayout {
    const char* table;
    std::vector<std::string> columns;
};

// The template is opened through a copy: tests run in parallel, and opening
// the shared file itself would make them wait on each other's write-ahead log.
class TemplateLayoutTest : public test::TempDirTest, public ::testing::WithParamInterface<TableLayout> {};

TEST_P(TemplateLayoutTest, ColumnsInStoredOrder)
{
    SQLite::Database db;
    test::copyTemplateDb(dir / "t.db3");
    ASSERT_EQ(db.OpenFile((dir / "t.db3").string()), SQLITE_OK);
    const auto& layout = GetParam();
    auto actual = columnsOf(db, layout.table);
    // The three unnamed geocache columns may be called anything.
    if (std::string(layout.table) == "geocache" && actual.size() == 24)
        actual[11] = actual[13] = actual[15] = "?";
    if (std::string(layout.table) == "waypoint" && actual.size() == 13)
        actual[7] = "?";
    EXPECT_EQ(actual, layout.columns);
}

INSTANTIATE_TEST_SUITE_P(
    Template, TemplateLayoutTest,
    ::testing::Values(
        TableLayout{"geocache",
                    {"key", "id", "guid", "x", "y", "name", "author", "cachetype", "cachesize", "difficulty",
                     "terrain", "?", "cachestatus", "?", "dthidden", "?", "dtupdate", "comment", "dtfoundtime",
                     "dtfound", "country", "state", "gs_cacheid", "gs_ownerid"}},
        TableLayout{"waypoint",
                    {"key", "id", "guid", "x", "y", "name", "prefixid", "?", "wpttype", "cmt", "comment", "flag",
                     "dtupdate"}},
        TableLayout{"geolog", {"key", "id", "dt", "type", "finder", "logtext", "gs_logid", "gs_finderid"}},
        TableLayout{"geolist", {"key", "id", "shortdesc", "shortdescflag", "longdesc", "longdescflag", "hint"}},
        TableLayout{"coord_index", {"key", "minX", "maxX", "minY", "maxY"}},
        TableLayout{"geotagcategory", {"key", "value"}},
        TableLayout{"geotagvalue", {"key", "value"}},
        TableLayout{"geotag", {"key", "id", "ptrkat", "ptrvalue"}}),
    [](const auto& row) { return std::string(row.param.table); });

using Template = test::TempDirTest;

TEST_F(Template, CoordinateIndexIsAnRTreeAndTheVersionIsSet)
{
    SQLite::Database db;
    test::copyTemplateDb(dir / "t.db3");
    ASSERT_EQ(db.OpenFile((dir / "t.db3").string()), SQLITE_OK);
    SQLite::Statement sql(db, "SELECT sql FROM sqlite_master WHERE name = 'coord_index'");
    ASSERT_EQ(sql.Step(), SQLITE_ROW);
    EXPECT_NE(sql.ColumnText(0).find("USING rtree"), std::string::npos);
    SQLite::Statement version(db, "PRAGMA user_version");
    ASSERT_EQ(version.Step(), SQLITE_ROW);
    EXPECT_GT(version.ColumnInt(0), 0);
    SQLite::Statement rows(db, "SELECT COUNT(*) FROM geocache");
    ASSERT_EQ(rows.Step(), SQLITE_ROW);
    EXPECT_EQ(rows.ColumnInt(0), 0);
}

// The positions the list orders by are read from an index of their own,
// in the template and, from its first open on, in a database of an earlier
// version.
TEST_F(Template, PositionsAreReadFromTheirIndexAlsoInAnOlderDatabase)
{
    const std::string file = (dir / "t.db3").string();
    test::copyTemplateDb(file);
    auto plan = [](SQLite::Database& db) {
        SQLite::Statement q(db, "EXPLAIN QUERY PLAN SELECT `key`, `x`, `y` FROM `geocache`");
        return q.Step() == SQLITE_ROW ? q.ColumnText(3) : std::string();
    };
    {
        SQLite::Database db;
        ASSERT_EQ(db.OpenFile(file), SQLITE_OK);
        EXPECT_EQ(plan(db), "SCAN geocache USING COVERING INDEX geocache_xy");
        ASSERT_EQ(db.Exec("DROP INDEX `geocache_xy`"), SQLITE_OK);
    }
    SQLite::Database db;
    ASSERT_EQ(db.OpenFile(file), SQLITE_OK);
    EXPECT_EQ(plan(db), "SCAN geocache USING COVERING INDEX geocache_xy");
}

using TrackSchemaTest = test::TempDirTest;

TEST_F(TrackSchemaTest, OlderTrackTableGainsHdopOnceAndKeepsItsPoints)
{
    SQLite::Database db;
    ASSERT_EQ(db.OpenFile((dir / "$tarnwick.db3").string()), SQLITE_OK);
    ASSERT_EQ(db.Exec("CREATE TABLE track_log (key INTEGER PRIMARY KEY AUTOINCREMENT,trackid INTEGER,"
                      "date INTEGER,time INTEGER,lat DOUBLE,lon DOUBLE,alt DOUBLE);"
                      "INSERT INTO track_log (trackid, lat, lon) VALUES (1, 50.5, 14.25);"),
              SQLITE_OK);
    createOrUpgradeTrackTables(db);
    createOrUpgradeTrackTables(db); // a second open must not add it again
    const auto columns = columnsOf(db, "track_log");
    EXPECT_EQ(std::count(columns.begin(), columns.end(), "hdop"), 1);
    EXPECT_EQ(columnsOf(db, "track_name"), (std::vector<std::string>{"trackid", "name"}));
    SQLite::Statement points(db, "SELECT lat FROM track_log");
    ASSERT_EQ(points.Step(), SQLITE_ROW);
    EXPECT_DOUBLE_EQ(points.ColumnDouble(0), 50.5);
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
// Map files crafted to hold the thread that reads them: none may.
#include "maps/MapConfig.h"
#include "maps/MbTilesReader.h"
#include "maps/TileDatabase.h"
#include "maps/TileQueryBudget.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

#include <chrono>
#include <fstream>

namespace tw::maps {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using HostileMapFiles = test::TempDirTest;

// A query on it never ends: the recursion filters out every row it makes.
constexpr const char* kEndlessRows = "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r) "
                                     "SELECT n, n, n, n, x'00' FROM r WHERE n < 0";

void makeDatabase(const fs::path& file, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST_F(HostileMapFiles, TilesAreReadOnlyFromATable)
{
    makeDatabase(dir / "view.mbtiles",
                 std::string("CREATE VIEW tiles(zoom_level, tile_column, tile_row, x, tile_data) AS ") + kEndlessRows);
    makeDatabase(dir / "view.twmap", std::string("CREATE VIEW tiles(x, y, z, s, image) AS ") + kEndlessRows);
    const auto start = Clock::now();
    MbTilesReader mbtiles(dir / "view.mbtiles");
    EXPECT_FALSE(mbtiles.isOpen());
    EXPECT_EQ(mbtiles.read(1, 0, 0), std::nullopt);
    TileDatabase twmap(dir / "view.twmap");
    EXPECT_FALSE(twmap.open());
    EXPECT_EQ(twmap.read({0, 0, 16, {}}, false), std::nullopt);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));

    // A real table still reads.
    makeDatabase(dir / "real.mbtiles", "CREATE TABLE tiles(zoom_level int, tile_column int, tile_row int, tile_data blob);"
                                       "INSERT INTO tiles VALUES (1, 0, 1, x'abcd')");
    MbTilesReader real(dir / "real.mbtiles");
    EXPECT_EQ(real.read(1, 0, 0), TileBytes({0xab, 0xcd}));
    // So do the usual `map` and `images` tables, whatever view is beside them.
    makeDatabase(dir / "shared.mbtiles",
                 std::string("CREATE TABLE map(zoom_level int, tile_column int, tile_row int, tile_id text);"
                             "CREATE TABLE images(tile_data blob, tile_id text);"
                             "INSERT INTO map VALUES (1, 0, 1, 'a'); INSERT INTO images VALUES (x'ef', 'a');"
                             "CREATE VIEW tiles(zoom_level, tile_column, tile_row, x, tile_data) AS ") +
                     kEndlessRows);
    MbTilesReader shared(dir / "shared.mbtiles");
    EXPECT_EQ(shared.read(1, 0, 0), TileBytes({0xef}));
}

TEST_F(HostileMapFiles, AQueryOutlastingItsBudgetIsInterrupted)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
    limitTileQueries(db);
    const auto start = Clock::now();
    {
        const TileQueryBudget budget(std::chrono::milliseconds(50));
        EXPECT_EQ(sqlite3_exec(db, kEndlessRows, nullptr, nullptr, nullptr), SQLITE_INTERRUPT);
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    // Outside a budget (writes) a statement runs to its end.
    EXPECT_EQ(sqlite3_exec(db, "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 200000) "
                               "SELECT COUNT(*) FROM r",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

TEST_F(HostileMapFiles, NestedSourcesMakeOneSourceAtOnce)
{
    constexpr int kDepth = 200000;
    {
        std::ofstream out(dir / "map-config.xml");
        out << "<Tarnwick>";
        for (int i = 0; i < kDepth; ++i)
            out << "<MapSource><name>s" << i << "</name>";
        for (int i = 0; i < kDepth; ++i)
            out << "</MapSource>";
        out << "<MapSource><name>after</name></MapSource></Tarnwick>";
    }
    const auto start = Clock::now();
    MapSources sources;
    readMapConfig(dir / "map-config.xml", sources);
    ASSERT_EQ(sources.size(), 2u);
    EXPECT_EQ(sources.at(1).name, "after");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
}

} // namespace
} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapyCzTileProvider.h"
#include "maps/MercatorTileProvider.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

#include <functional>

namespace fs = std::filesystem;
using namespace tw::maps;

namespace {

MapSource mercatorSource(const std::string& storage = {})
{
    MapSource s;
    s.type = "Google";
    s.storage = storage;
    MapType base;
    base.mode = "basic";
    base.file = "street";
    base.url = "http://tiles.test/{z}/{x}/{y}.png";
    base.maxZoom = 18;
    base.maxAvailZoom = 18;
    s.basic.push_back(base);
    MapType trails = base;
    trails.mode = "overlay";
    trails.file = "trails";
    s.overlay.push_back(trails);
    return s;
}

MapSource mapyCzSource()
{
    MapSource s;
    s.type = "MapyCz";
    s.storage = "database";
    MapType base;
    base.mode = "basic";
    base.file = "base_n";
    base.url = "http://tiles.test/{z}-{x}-{y}";
    s.basic.push_back(base);
    base.file = "turist";
    s.basic.push_back(base);
    return s;
}

TileProvider::Options at(const fs::path& folder, int zoom, tw::geo::LatLon centre = {50.087, 14.421})
{
    TileProvider::Options o;
    o.mapFolder = folder;
    o.zoom = zoom;
    o.centre = centre;
    return o;
}

} // namespace

struct MercatorCase {
    const char* name;
    int zoom;
    double lat, lon;
    int x, y;
};

class MercatorProjection : public ::testing::TestWithParam<MercatorCase> {};

TEST_P(MercatorProjection, MapsPositionToWorldUnits)
{
    const MercatorCase& c = GetParam();
    MercatorTileProvider p(mercatorSource(), at({}, c.zoom));
    const WorldPoint w = p.latLonToWorld(c.lat, c.lon);
    EXPECT_EQ(w.x, c.x);
    EXPECT_EQ(w.y, c.y);
}

INSTANTIATE_TEST_SUITE_P(Points, MercatorProjection,
                         ::testing::Values(MercatorCase{"WestEdgeOfTheEquatorAtZoom0", 0, 0.0, -180.0, 0, 500},
                                           MercatorCase{"PragueAtZoom13", 13, 50.087, 14.421, 4424157, 2775191},
                                           MercatorCase{"SouthWestAtZoom1", 1, -45.0, -90.0, 500, 1280}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(MercatorTileProvider, AddressesTilesAndUrlsByColumnAndRow)
{
    MercatorTileProvider p(mercatorSource(), at({}, 13));
    const WorldPoint w = p.latLonToWorld(50.087, 14.421);
    EXPECT_EQ(p.tileColumn(w), 4424);
    EXPECT_EQ(p.tileRow(w), 2775);
    EXPECT_EQ(p.tileUrl(w, 0), "http://tiles.test/13/4424/2775.png");
    // The inverse carries single-precision π: close, not exact.
    const tw::geo::LatLon back = p.worldToLatLon(w);
    EXPECT_NEAR(back.lat, 50.087, 1e-4);
    EXPECT_NEAR(back.lon, 14.421, 1e-4);
}

TEST(MercatorTileProvider, StoresZoomAsSeventeenMinusZoom)
{
    MercatorTileProvider p(mercatorSource("database"), at({}, 17));
    EXPECT_EQ(p.databaseKey({1000, 2000}, 0).z, 0);
    p.zoomIn();
    EXPECT_EQ(p.databaseKey({1000, 2000}, 0).z, -1);
    EXPECT_EQ(p.databaseKey({1000, 2000}, 0).x, 1);
    EXPECT_EQ(p.databaseKey({1000, 2000}, 0).y, 2);
}

TEST(MercatorTileProvider, PanningByATileWidthMovesOneColumnEast)
{
    MercatorTileProvider p(mercatorSource(), at({}, 13));
    const WorldPoint before = p.centreWorld();
    p.panByPixels(256, 0);
    const WorldPoint after = p.centreWorld();
    EXPECT_NEAR(after.x - before.x, 1000, 2);
    EXPECT_NEAR(after.y, before.y, 2);
    EXPECT_EQ(p.pixelOffset(p.offsetByTiles(after, 1, 0)).x - p.pixelOffset(after).x, 256);
}

TEST(MercatorTileProvider, ZoomIsClampedToWhatWorldUnitsHold)
{
    MercatorTileProvider p(mercatorSource(), at({}, 13));
    p.setZoom(40);
    EXPECT_EQ(p.zoom(), 21);
    const WorldPoint w = p.latLonToWorld(-85, 179.99);
    EXPECT_GT(w.x, 0);
    EXPECT_GT(w.y, 0);
}

class FolderTiles : public tw::test::TempDirTest {};

TEST_F(FolderTiles, FindsTheStoredExtensionWhateverTheUrlSays)
{
    MercatorTileProvider p(mercatorSource(), at(dir, 13));
    const WorldPoint w = p.latLonToWorld(50.087, 14.421);
    const fs::path folder = dir / "street" / "13" / "4424";
    EXPECT_EQ(p.tilePath(w, 0), folder / "2775.<ext>");
    EXPECT_FALSE(p.hasTile(w, 0));
    tw::test::writeFile(folder / "2775.jpg", "jpeg");
    tw::test::writeFile(folder / "27750.png", "other row");
    EXPECT_EQ(p.tilePath(w, 0), folder / "2775.jpg");
    EXPECT_TRUE(p.hasTile(w, 0));
    p.deleteTile(w, 0);
    EXPECT_FALSE(fs::exists(folder / "2775.jpg"));
    EXPECT_TRUE(fs::exists(folder / "27750.png"));
}

TEST_F(FolderTiles, NamesThatLeaveTheMapFolderGetNoPath)
{
    for (const char* name : {"../outside", "/etc", "..", "a/b", ""}) {
        MapSource s = mercatorSource("database");
        s.basic[0].file = name;
        MercatorTileProvider p(s, at(dir, 13));
        EXPECT_TRUE(p.tilePath({0, 0}, 0).empty()) << name;
        EXPECT_TRUE(p.databasePath(0).empty()) << name;
        EXPECT_EQ(p.database(0), nullptr) << name;
    }
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(FolderTiles, MapyCzUsesTheHexadecimalKachleTree)
{
    MapSource s = mapyCzSource();
    s.storage.clear();
    MapyCzTileProvider p(s, at(dir, 13));
    const WorldPoint tile{0x0C7E0000, 0x02A60000};
    EXPECT_EQ(p.tileUrl(tile, 0), "http://tiles.test/13-c7e0000-2a60000");
    const fs::path expected = dir / "kachle" / "c7" / "2a" / "e0" / "60" / "base_n_13_c7e0000_2a60000.kachle";
    EXPECT_EQ(p.tilePath(tile, 0), expected);
    // The older "base-n" name is used when only it exists.
    const fs::path older = dir / "kachle" / "c7" / "2a" / "e0" / "60" / "base-n_13_c7e0000_2a60000.kachle";
    tw::test::writeFile(older, "x");
    EXPECT_EQ(p.tilePath(tile, 0), older);
    tw::test::writeFile(expected, "x");
    EXPECT_EQ(p.tilePath(tile, 0), expected);
}

class TileDatabases : public tw::test::TempDirTest {};

TEST_F(TileDatabases, MapyCzMapTypesShareOneFileButNotTheirTiles)
{
    MapyCzTileProvider p(mapyCzSource(), at(dir, 12));
    const WorldPoint tile = p.centreWorld();
    ASSERT_NE(p.database(0), nullptr);
    EXPECT_EQ(p.database(0), p.database(1));
    EXPECT_EQ(p.databasePath(0), dir / "mapy_cz.twmap");
    const std::string png = "base tile";
    ASSERT_TRUE(p.database(0)->write(p.databaseKey(tile, 0), png.data(), png.size()));
    EXPECT_TRUE(p.readTileBlob(tile, 0).has_value());
    EXPECT_FALSE(p.readTileBlob(tile, 1).has_value());
    // Deleting a tile removes it for every map type of the file.
    const std::string other = "turist tile";
    ASSERT_TRUE(p.database(1)->write(p.databaseKey(tile, 1), other.data(), other.size()));
    p.deleteTile(tile, 0);
    EXPECT_FALSE(p.readTileBlob(tile, 1).has_value());
}

TEST_F(TileDatabases, CreatesTheFileWithItsTablesOnFirstUse)
{
    MercatorTileProvider p(mercatorSource("database"), at(dir / "sub" / "maps", 13));
    ASSERT_NE(p.database(0), nullptr);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "sub" / "maps" / "street.twmap").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "SELECT x, y, z, s, image FROM tiles; SELECT minzoom, maxzoom FROM info", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

TEST_F(TileDatabases, ReplacesATileStoredTwice)
{
    TileDatabase db(dir / "t.twmap");
    ASSERT_TRUE(db.open());
    const TileKey key{3, 4, 5, {}};
    ASSERT_TRUE(db.write(key, "old", 3));
    ASSERT_TRUE(db.write(key, "new", 3));
    const auto got = db.read(key, true);
    ASSERT_TRUE(got);
    EXPECT_EQ(std::string(got->begin(), got->end()), "new");
}

namespace {

// A file made by running sql on a fresh SQLite database.
void makeSqlite(const fs::path& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::string text(const std::optional<TileBytes>& bytes)
{
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(none)";
}

constexpr const char* kTileTable = "CREATE TABLE tiles (x int, y int, z int, s int, image blob, "
                                   "PRIMARY KEY (x,y,z,s));";

} // namespace

// How other map programs number the zoom in a single-file tile database:
// the info table's column tilenumbering, when there is one, says so.
struct NumberingCase {
    const char* name;
    const char* info; // the statements that make the info table
    int storedZ;      // z of the zoom 4 tile in the file
};

class TileDatabaseNumbering : public tw::test::TempDirTest, public ::testing::WithParamInterface<NumberingCase> {};

TEST_P(TileDatabaseNumbering, ReadsWritesAndDeletesWithTheFilesOwnZoomNumbers)
{
    const NumberingCase& c = GetParam();
    // Other programs name the file .sqlitedb, count rows from the north and
    // write the server number 0 into s.
    makeSqlite(dir / "hiking.sqlitedb", std::string(kTileTable) + c.info +
                                             "INSERT INTO tiles VALUES (8, 5, " + std::to_string(c.storedZ) +
                                             ", 0, CAST('IMG:hiking' AS BLOB));");
    MapSource s = mercatorSource("database");
    s.basic[0].file = "hiking";
    MercatorTileProvider p(s, at(dir, 4));
    EXPECT_EQ(p.databasePath(0), dir / "hiking.sqlitedb");
    const WorldPoint tile{8 * 1000 + 500, 5 * 1000 + 500};
    EXPECT_EQ(text(p.readTileBlob(tile, 0)), "IMG:hiking");
    EXPECT_FALSE(p.hasTile({9 * 1000 + 500, 5 * 1000 + 500}, 0));

    // A download into the file keeps its numbering; a deletion finds it.
    const WorldPoint next{9 * 1000 + 500, 5 * 1000 + 500};
    ASSERT_TRUE(p.database(0)->write(p.databaseKey(next, 0), "IMG:new", 7));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir / "hiking.sqlitedb").c_str(), &db), SQLITE_OK);
    auto storedZOf = [db](int x) {
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db, "SELECT z FROM tiles WHERE x = ?", -1, &st, nullptr);
        sqlite3_bind_int(st, 1, x);
        const int z = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : 99;
        sqlite3_finalize(st);
        return z;
    };
    EXPECT_EQ(storedZOf(9), c.storedZ);
    p.deleteTile(tile, 0);
    EXPECT_EQ(storedZOf(8), 99);
    sqlite3_close(db);
    EXPECT_TRUE(p.unreadableFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, TileDatabaseNumbering,
    ::testing::Values(NumberingCase{"NoInfoTable", "", 13},
                      NumberingCase{"InfoWithoutNumbering", "CREATE TABLE info(minzoom,maxzoom);", 13},
                      NumberingCase{"BigPlanet",
                                    "CREATE TABLE info(minzoom,maxzoom,tilenumbering);"
                                    "INSERT INTO info VALUES (3, 5, 'BigPlanet');",
                                    13},
                      NumberingCase{"PlainZoomEmptyNumbering",
                                    "CREATE TABLE info(tilenumbering,minzoom,maxzoom);"
                                    "INSERT INTO info VALUES ('', 3, 5);",
                                    4},
                      NumberingCase{"PlainZoomSimple",
                                    "CREATE TABLE info(minzoom,maxzoom,tilenumbering);"
                                    "INSERT INTO info VALUES (3, 5, 'simple');",
                                    4}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(TileDatabases, OurOwnFileNameComesBeforeTheOtherProgramsOne)
{
    EXPECT_EQ(tileDatabaseFile(dir, "street"), dir / "street.twmap");
    tw::test::writeFile(dir / "street.sqlitedb", "");
    EXPECT_EQ(tileDatabaseFile(dir, "street"), dir / "street.sqlitedb");
    tw::test::writeFile(dir / "street.twmap", "");
    EXPECT_EQ(tileDatabaseFile(dir, "street"), dir / "street.twmap");
}

// A tile file that is there but does not read leaves the map blank: the
// provider names it once, with SQLite's reason; a missing one is no fault.
struct DamagedCase {
    const char* name;
    const char* storage;
    const char* file;
    std::function<void(const fs::path&)> make;
};

class DamagedTileFiles : public tw::test::TempDirTest, public ::testing::WithParamInterface<DamagedCase> {};

TEST_P(DamagedTileFiles, AreNamedOnceWithTheirReason)
{
    const DamagedCase& c = GetParam();
    const fs::path path = dir / c.file;
    c.make(path);
    MapSource s = mercatorSource(c.storage);
    s.basic[0].file = fs::path(c.file).stem().string();
    MercatorTileProvider p(s, at(dir, 4));
    ASSERT_EQ(p.databasePath(0), path);
    for (int column = 0; column < 3; ++column)
        EXPECT_FALSE(p.readTileBlob({column * 1000 + 500, 500}, 0).has_value());
    ASSERT_EQ(p.unreadableFiles().size(), 1u);
    EXPECT_EQ(p.unreadableFiles()[0].path, path);
    EXPECT_FALSE(p.unreadableFiles()[0].reason.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedTileFiles,
    ::testing::Values(
        DamagedCase{"MbTilesOfText", "mbtiles", "hiking.mbtiles",
                    [](const fs::path& p) { tw::test::writeFile(p, std::string(4096, 'x')); }},
        DamagedCase{"MbTilesWithoutTiles", "mbtiles", "hiking.mbtiles",
                    [](const fs::path& p) { makeSqlite(p, "CREATE TABLE metadata (name text, value text);"); }},
        DamagedCase{"MbTilesCutShort", "mbtiles", "hiking.mbtiles",
                    [](const fs::path& p) {
                        std::string sql = "CREATE TABLE tiles (zoom_level int, tile_column int, tile_row int, "
                                          "tile_data blob);";
                        for (int i = 0; i < 200; ++i)
                            sql += "INSERT INTO tiles VALUES (4, " + std::to_string(i % 3) + ", 15, zeroblob(3000));";
                        makeSqlite(p, sql);
                        const std::string whole = tw::test::readFile(p);
                        // The header stays; the pages after the first are zeros.
                        tw::test::writeFile(p, whole.substr(0, 4096) + std::string(whole.size() - 4096, '\0'));
                    }},
        DamagedCase{"DatabaseOfText", "database", "street.twmap",
                    [](const fs::path& p) { tw::test::writeFile(p, std::string(4096, 'x')); }},
        DamagedCase{"SqlitedbOfText", "database", "street.sqlitedb",
                    [](const fs::path& p) { tw::test::writeFile(p, std::string(4096, 'x')); }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(TileDatabases, AMissingFileIsNoProblem)
{
    MercatorTileProvider db(mercatorSource("database"), at(dir, 4));
    MercatorTileProvider mb(mercatorSource("mbtiles"), at(dir, 4));
    EXPECT_FALSE(db.readTileBlob({500, 500}, 0).has_value());
    EXPECT_FALSE(mb.readTileBlob({500, 500}, 0).has_value());
    EXPECT_TRUE(db.unreadableFiles().empty());
    EXPECT_TRUE(mb.unreadableFiles().empty());
}

// Both corpus files hold the same tiles, one in the single-file layout (rows
// from the north, z = 17 − zoom), one as MBTiles (rows from the south).
class CorpusTiles : public tw::test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        TW_REQUIRE_CORPUS();
        const fs::path corpus = tw::test::corpusDir();
        fs::copy_file(corpus / "tiles" / "plain_1_rmaps_bigplanet.sqlitedb", dir / "plain.twmap");
        fs::copy_file(corpus / "tiles" / "plain_1.mbtiles", dir / "plain.mbtiles");
    }

    static MapSource source(const char* storage)
    {
        MapSource s = mercatorSource(storage);
        s.basic[0].file = "plain";
        return s;
    }
};

TEST_F(CorpusTiles, DatabaseAndMbTilesGiveTheSameImageForEveryTile)
{
    MercatorTileProvider twmap(source("database"), at(dir, 4));
    MercatorTileProvider mbtiles(source("mbtiles"), at(dir, 4));
    int compared = 0;
    for (int zoom = 0; zoom <= 4; ++zoom) {
        twmap.setZoom(zoom);
        mbtiles.setZoom(zoom);
        for (int column = 0; column < (1 << zoom); ++column)
            for (int row = 0; row < (1 << zoom); ++row) {
                const WorldPoint tile{column * 1000 + 500, row * 1000 + 500};
                const auto a = twmap.readTileBlob(tile, 0);
                const auto b = mbtiles.readTileBlob(tile, 0);
                ASSERT_EQ(a.has_value(), b.has_value()) << zoom << "/" << column << "/" << row;
                if (a) {
                    EXPECT_EQ(*a, *b) << zoom << "/" << column << "/" << row;
                    ++compared;
                }
            }
    }
    EXPECT_EQ(compared, 285);
}

TEST_F(CorpusTiles, MbTilesIsNeverWritten)
{
    MercatorTileProvider p(source("mbtiles"), at(dir, 0));
    const auto before = tw::test::readFile(dir / "plain.mbtiles");
    p.deleteTile({500, 500}, 0);
    EXPECT_TRUE(p.readTileBlob({500, 500}, 0).has_value());
    EXPECT_FALSE(p.canStoreDownloads());
    EXPECT_EQ(tw::test::readFile(dir / "plain.mbtiles"), before);
}

// Which part of an ancestor tile covers a tile: counted from the image's top
// left for both kinds, whichever way their rows grow.
struct AncestorCase {
    const char* name;
    bool mapyCz;
    int levels;
};

class AncestorParts : public ::testing::TestWithParam<AncestorCase> {};

TEST_P(AncestorParts, EverySubTileMapsBackToItsPart)
{
    const AncestorCase& c = GetParam();
    std::unique_ptr<TileProvider> p;
    if (c.mapyCz)
        p = std::make_unique<MapyCzTileProvider>(mapyCzSource(), at({}, 10));
    else
        p = std::make_unique<MercatorTileProvider>(mercatorSource(), at({}, 10));
    const int low = 10, high = 10 + c.levels, f = 1 << c.levels;
    const WorldPoint ancestor = p->centreWorld();
    for (int i = 0; i < f; ++i)
        for (int j = 0; j < f; ++j) {
            p->setZoom(high);
            const WorldPoint child = p->childTileCentre(ancestor, low, i, j);
            p->setZoom(low);
            const WorldPoint back = c.mapyCz ? child : WorldPoint{child.x >> c.levels, child.y >> c.levels};
            EXPECT_EQ(p->tileLeft(back), p->tileLeft(ancestor)) << i << "," << j;
            EXPECT_EQ(p->ancestorPart(0, high, child), (TilePart{i, j})) << i << "," << j;
        }
    // (0, 0) is the north-west sub-tile.
    p->setZoom(high);
    const WorldPoint nw = p->childTileCentre(ancestor, low, 0, 0);
    const WorldPoint sw = p->childTileCentre(ancestor, low, 0, f - 1);
    EXPECT_GT(p->worldToLatLon(nw).lat, p->worldToLatLon(sw).lat);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AncestorParts,
                         ::testing::Values(AncestorCase{"MercatorOneLevel", false, 1},
                                           AncestorCase{"MercatorFourLevels", false, 4},
                                           AncestorCase{"MapyCzOneLevel", true, 1},
                                           AncestorCase{"MapyCzFourLevels", true, 4}),
                         [](const auto& row) { return std::string(row.param.name); });

struct ScaleCase {
    const char* name;
    double metres;
    int shown;
    int pixels;
};

class ScaleRounding : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaleRounding, RoundsToTensHundredsAndThousands)
{
    const ScaleBar bar = roundScale(GetParam().metres);
    EXPECT_EQ(bar.metres, GetParam().shown);
    EXPECT_EQ(bar.pixels, GetParam().pixels);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ScaleRounding,
                         ::testing::Values(ScaleCase{"Tens", 37.0, 40, 69}, ScaleCase{"Hundreds", 480.0, 500, 66},
                                           ScaleCase{"Thousands", 2400.0, 2000, 53},
                                           ScaleCase{"NothingForZero", 0.0, 0, 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(ScaleText, SwitchesToKilometresAt1000Metres)
{
    EXPECT_EQ(scaleText(999), "999 m");
    EXPECT_EQ(scaleText(2500), "2 km");
}

TEST(MapyCzTileProvider, ScaleFollowsTheTileExtent)
{
    MapyCzTileProvider p(mapyCzSource(), at({}, 13));
    EXPECT_EQ(p.extent(), 32768);
    EXPECT_EQ(p.scale().metres, 250);
    EXPECT_EQ(p.scale().pixels, 64);
    p.zoomOut();
    EXPECT_EQ(p.scale().metres, 500);
}

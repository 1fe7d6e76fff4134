// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/AreaDownload.h"
#include "maps/MapComposer.h"
#include "maps/MapyCzTileProvider.h"
#include "maps/MercatorTileProvider.h"
#include "tests/TestSupport.h"
#include "tests/maps/MapFakes.h"

namespace fs = std::filesystem;
using namespace tw::maps;
using tw::test::FakeDecoder;
using tw::test::RecordingCanvas;
using tw::test::RecordingDownloader;

namespace {

constexpr tw::geo::LatLon kPrague{50.087, 14.421}; // column 4424, row 2775 at zoom 13

MapSource threeBasicTypes(const std::string& storage = {})
{
    MapSource s;
    s.type = "Google";
    s.storage = storage;
    for (const char* file : {"street", "topo", "photo"}) {
        MapType t;
        t.mode = "basic";
        t.file = file;
        t.url = std::string("http://tiles.test/") + file + "/{z}/{x}/{y}.png";
        t.maxZoom = 18;
        t.maxAvailZoom = 16;
        s.basic.push_back(t);
    }
    return s;
}

} // namespace

class ComposerTest : public tw::test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        TileProvider::Options o;
        o.mapFolder = dir;
        o.zoom = 13;
        o.centre = kPrague;
        provider = std::make_unique<MercatorTileProvider>(threeBasicTypes(), o);
        composer = std::make_unique<MapComposer>(*provider, decoder, &downloader);
    }
    // Stores a fake image for the tile of a point at a zoom.
    void store(int zoom, int column, int row, int m, const std::string& data)
    {
        tw::test::writeFile(dir / provider->mapType(m)->file / std::to_string(zoom) / std::to_string(column)
                                / (std::to_string(row) + ".png"),
                            data);
    }
    bool draw(int m = 0, bool extPaint = true)
    {
        ComposeOptions options;
        options.mapType = m;
        options.extPaint = extPaint;
        return composer->drawTile(canvas, square, m, provider->centreWorld(), options);
    }

    FakeDecoder decoder;
    RecordingDownloader downloader;
    RecordingCanvas canvas{256, 256};
    const Rect square{0, 0, 256, 256};
    std::unique_ptr<MercatorTileProvider> provider;
    std::unique_ptr<MapComposer> composer;
};

TEST_F(ComposerTest, AStoredTileIsDrawnWholeAndNotAskedFor)
{
    store(13, 4424, 2775, 0, "IMG:own");
    EXPECT_TRUE(draw());
    ASSERT_EQ(canvas.draws.size(), 1u);
    EXPECT_EQ(canvas.draws[0].label, "own");
    EXPECT_EQ(canvas.draws[0].source, (Rect{0, 0, 256, 256}));
    EXPECT_TRUE(downloader.urls.empty());
    EXPECT_FALSE(composer->downloadsPending());
}

TEST_F(ComposerTest, AMissingTileIsEnlargedFromItsAncestorAndAskedFor)
{
    // Two levels up, column 4424 / 4 = 1106 and row 2775 / 4 = 693; the tile
    // is the part in column 0, row 3 of the 4 × 4 parts.
    store(11, 1106, 693, 0, "IMG:ancestor");
    EXPECT_TRUE(draw());
    ASSERT_EQ(canvas.draws.size(), 1u);
    EXPECT_EQ(canvas.draws[0].label, "ancestor");
    EXPECT_EQ(canvas.draws[0].source, (Rect{0, 192, 64, 64}));
    EXPECT_EQ(canvas.draws[0].target, square);
    EXPECT_EQ(downloader.urls, std::vector<std::string>{"http://tiles.test/street/13/4424/2775.png"});
    EXPECT_TRUE(composer->downloadsPending());
    EXPECT_EQ(provider->zoom(), 13);
}

TEST_F(ComposerTest, AncestorsAreTriedOnlyFourLevelsDown)
{
    store(8, 4424 >> 5, 2775 >> 5, 0, "IMG:too far");
    EXPECT_FALSE(draw());
    EXPECT_TRUE(canvas.draws.empty());
    EXPECT_EQ(canvas.greyLines, 32); // 4 × 4 crosses of two lines
}

TEST_F(ComposerTest, AfterZoomingOutTheFourChildTilesFillTheSquare)
{
    provider->setZoom(14);
    store(14, 8848, 5550, 0, "IMG:c00");
    ASSERT_TRUE(draw());
    composer->zoomOut();
    store(14, 8849, 5550, 0, "IMG:c10");
    store(14, 8848, 5551, 0, "IMG:c01");
    store(14, 8849, 5551, 0, "IMG:c11");
    canvas.draws.clear();
    EXPECT_TRUE(draw());
    ASSERT_EQ(canvas.draws.size(), 4u);
    EXPECT_EQ(canvas.draws[0].label, "c00");
    EXPECT_EQ(canvas.draws[0].target, (Rect{0, 0, 128, 128}));
    EXPECT_EQ(canvas.draws[1].label, "c01");
    EXPECT_EQ(canvas.draws[1].target, (Rect{0, 128, 128, 128}));
    EXPECT_EQ(canvas.draws[3].label, "c11");
    EXPECT_EQ(canvas.draws[3].target, (Rect{128, 128, 128, 128}));
}

TEST_F(ComposerTest, ExtPaintFillsAGapOfMapTypeTwoFromMapTypeOne)
{
    store(13, 4424, 2775, 1, "IMG:topo");
    EXPECT_TRUE(draw(2));
    ASSERT_EQ(canvas.draws.size(), 1u);
    EXPECT_EQ(canvas.draws[0].label, "topo");
    // The gap of map type 2 itself is still asked for.
    EXPECT_EQ(downloader.urls, std::vector<std::string>{"http://tiles.test/photo/13/4424/2775.png"});

    canvas.draws.clear();
    EXPECT_FALSE(draw(2, false));
    EXPECT_TRUE(canvas.draws.empty());
    EXPECT_EQ(canvas.greyLines, 32);
}

TEST_F(ComposerTest, AStoredTileThatDoesNotDecodeIsDeletedAndFetchedAgainOnce)
{
    store(13, 4424, 2775, 0, "<html>error page</html>");
    EXPECT_FALSE(draw());
    EXPECT_FALSE(fs::exists(dir / "street" / "13" / "4424" / "2775.png"));
    EXPECT_EQ(downloader.paths, std::vector<fs::path>{dir / "street" / "13" / "4424" / "2775.<ext>"});

    // The server sends the page again: it stays, drawn as missing, and is
    // not asked for a third time.
    store(13, 4424, 2775, 0, "<html>error page</html>");
    EXPECT_FALSE(draw());
    EXPECT_EQ(canvas.greyLines, 2 * 32);
    EXPECT_TRUE(fs::exists(dir / "street" / "13" / "4424" / "2775.png"));
    EXPECT_EQ(downloader.paths.size(), 1u);
}

TEST_F(ComposerTest, WithoutDownloadsADamagedTileStaysAndIsDrawnAsMissing)
{
    downloader.allowed = false;
    store(13, 4424, 2775, 0, "");
    EXPECT_FALSE(draw());
    EXPECT_EQ(canvas.greyLines, 32);
    EXPECT_TRUE(fs::exists(dir / "street" / "13" / "4424" / "2775.png"));
    EXPECT_TRUE(downloader.urls.empty());
}

TEST_F(ComposerTest, NothingIsAskedForAboveTheHighestAvailableZoom)
{
    provider->setZoom(17);
    EXPECT_FALSE(draw());
    EXPECT_TRUE(downloader.urls.empty());
    EXPECT_FALSE(composer->downloadsPending());
}

TEST_F(ComposerTest, AViewAsksForEachMissingSquareOnceAndReusesDecodedTiles)
{
    RecordingCanvas screen(480, 800);
    ComposeOptions options;
    const PixelPoint origin = composer->composeTiles(screen, options);
    // 480 × 800 around the centre: every square that meets the client area.
    int expected = 0;
    for (int i = -2; i <= 2; ++i)
        for (int j = -2; j <= 2; ++j)
            expected += Rect{origin.x + 256 * i, origin.y - 256 * j, 256, 256}.intersects({0, 0, 480, 800}) ? 1 : 0;
    EXPECT_EQ(static_cast<int>(downloader.urls.size()), expected);
    EXPECT_GE(expected, 8);

    for (std::size_t k = 0; k < downloader.paths.size(); ++k) {
        fs::path p = downloader.paths[k];
        tw::test::writeFile(p.replace_extension(".png"), "IMG:" + std::to_string(k));
    }
    downloader.urls.clear();
    composer->composeTiles(screen, options);
    EXPECT_EQ(static_cast<int>(screen.draws.size()), expected);
    EXPECT_TRUE(downloader.urls.empty());
    const int decodedOnce = decoder.decoded;
    composer->composeTiles(screen, options);
    EXPECT_EQ(decoder.decoded, decodedOnce);
}

TEST(Polylines, StopAfterTheFiveHundredFirstPoint)
{
    TileProvider::Options o;
    o.zoom = 13;
    o.centre = kPrague;
    MercatorTileProvider p(threeBasicTypes(), o);
    std::vector<tw::geo::LatLon> track;
    for (int i = 0; i < 800; ++i)
        track.push_back({50.0 + i * 1e-4, 14.4});
    const auto pixels = polylinePixels(p, track, {0, 0});
    ASSERT_EQ(pixels.size(), 501u);
    EXPECT_EQ(pixels.back(), p.pixelOffset(p.latLonToWorld(50.05, 14.4)));
}

struct JumpCase {
    const char* name;
    PixelPoint live;
    bool jumps;
};

class MovingMap : public ::testing::TestWithParam<JumpCase> {};

TEST_P(MovingMap, JumpsBeyondAQuarterOfTheClient)
{
    EXPECT_EQ(movingMapJumps(GetParam().live, {120, 160}, 240, 320), GetParam().jumps);
}

INSTANTIATE_TEST_SUITE_P(Positions, MovingMap,
                         ::testing::Values(JumpCase{"HundredPixelsRight", {220, 160}, true},
                                           JumpCase{"FiftyPixelsRight", {170, 160}, false},
                                           JumpCase{"EightyOneUp", {120, 79}, true},
                                           JumpCase{"EightyDown", {120, 240}, false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(RecordIcons, StandOnTheirFoot)
{
    EXPECT_EQ(recordIconRect({100, 100}, false), (Rect{90, 76, 20, 20}));
    EXPECT_EQ(recordIconRect({100, 100}, true), (Rect{80, 52, 40, 40}));
}

struct AreaCase {
    const char* name;
    int mapArea;
    std::vector<tw::geo::LatLon> caches;
    int zooms;
    std::size_t tiles;
};

class AreaTiles : public ::testing::TestWithParam<AreaCase> {};

TEST_P(AreaTiles, CountEachTileOnce)
{
    TileProvider::Options o;
    o.zoom = 13;
    o.centre = kPrague;
    MercatorTileProvider p(threeBasicTypes(), o);
    for (int z = 13; z < 13 + GetParam().zooms; ++z)
        for (const auto& cache : GetParam().caches)
            addAreaTiles(p, cache, z, GetParam().mapArea);
    EXPECT_EQ(p.areaTiles.size(), GetParam().tiles);
    EXPECT_EQ(p.zoom(), 13);
}

INSTANTIATE_TEST_SUITE_P(
    Areas, AreaTiles,
    ::testing::Values(AreaCase{"OneCacheFiveByFive", 2, {kPrague}, 1, 25},
                      AreaCase{"OneCacheThreeByThree", 1, {kPrague}, 1, 9},
                      AreaCase{"TwoCachesInTheSameTile", 2, {kPrague, {50.0871, 14.4211}}, 1, 25},
                      // One tile column apart (0.044° of longitude at zoom 13): 6 × 5 tiles.
                      AreaCase{"TwoCachesSideBySide", 2, {kPrague, {50.087, 14.421 + 360.0 / 8192}}, 1, 30},
                      AreaCase{"TwoZoomLevels", 3, {kPrague}, 2, 98}),
    [](const auto& row) { return std::string(row.param.name); });

// The visible area of the map: every tile that meets the rectangle, whichever
// way the kind counts its rows.
TEST(AreaDownload, ARectangleTakesEveryTileItMeets)
{
    for (const char* kind : {"Google", "MapyCz"}) {
        MapSource s = threeBasicTypes();
        s.type = kind;
        TileProvider::Options o;
        o.zoom = 10;
        o.centre = kPrague;
        auto p = makeTileProvider(s, o);
        p->setZoom(13);
        // From the middle of one tile to the middle of the tile two columns
        // east and one row south: 3 × 2 tiles.
        const WorldPoint nw = p->latLonToWorld(kPrague.lat, kPrague.lon);
        const WorldPoint se = p->offsetByTiles(nw, 2, -1);
        const tw::geo::LatLon corner = p->worldToLatLon(nw);
        addRectTiles(*p, corner, p->worldToLatLon(se), 13);
        EXPECT_EQ(p->areaTiles.size(), 6u) << kind;
        EXPECT_EQ(p->zoom(), 13) << kind;
        // A point at another zoom adds its own tile.
        p->setZoom(10);
        addRectTiles(*p, corner, corner, 14);
        EXPECT_EQ(p->areaTiles.size(), 7u) << kind;
    }
}

TEST(AreaDownload, OffersTheSevenHighestZoomLevels)
{
    MapType t;
    t.minZoom = 2;
    t.maxAvailZoom = 18;
    EXPECT_EQ(offeredZooms(t), (std::vector<int>{12, 13, 14, 15, 16, 17, 18}));
    t.minZoom = 15;
    EXPECT_EQ(offeredZooms(t), (std::vector<int>{15, 16, 17, 18}));
}

class AreaRequests : public tw::test::TempDirTest {};

TEST_F(AreaRequests, OnlyNewTilesAreAskedForAndOverlaysCount)
{
    MapSource s = threeBasicTypes("database");
    MapType trails = s.basic[0];
    trails.mode = "overlay";
    trails.file = "trails";
    s.overlay.push_back(trails);
    TileProvider::Options o;
    o.mapFolder = dir;
    o.zoom = 10;
    o.centre = kPrague;
    MercatorTileProvider p(s, o);
    addAreaTiles(p, kPrague, 13, 2);
    const bool overlays[3] = {true, false, false};
    EXPECT_EQ(areaDownloadCount(p, 1), 50);

    RecordingDownloader first;
    EXPECT_EQ(startAreaDownload(p, 0, overlays, true, first), 50);
    EXPECT_EQ(p.zoom(), 10);
    EXPECT_EQ(first.keys.front().z, 4);

    // Everything stored: nothing more is asked for with onlyNew.
    p.setZoom(13);
    for (const auto& key : first.keys) {
        p.database(0)->write(key, "IMG:x", 5);
        p.database(3)->write(key, "IMG:x", 5);
    }
    RecordingDownloader second;
    EXPECT_EQ(startAreaDownload(p, 0, overlays, true, second), 0);
    EXPECT_EQ(startAreaDownload(p, 0, overlays, false, second), 50);
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The batch word png: a picture of the map from a tile folder, an MBTiles
// file or a vector map, with the listed caches on it, and the reasons it
// refuses.
#include "app/BatchActions.h"
#include "app/CGlobalData.h"
#include "maps/MercatorTileProvider.h"
#include "screens/MapPicture.h"
#include "screens/QtTileImage.h"
#include "tests/maps/FakeRenderer.h"
#include "tests/screens/ScreenWorld.h"

#include <QBuffer>
#include <QtTest>

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>

namespace fs = std::filesystem;
using namespace tw;
using test::ScreenWorld;

namespace {

constexpr geo::LatLon kHome{50.087, 14.421};
constexpr int kZoom = 14;
const QColor kPaper(230, 225, 210); // of ScreenWorld::makeTiles
const QColor kMbTilesRed(200, 20, 20);
const QColor kVectorBlue(20, 40, 200);

maps::MapType gridType(const std::string& file)
{
    maps::MapType type;
    type.mode = "basic";
    type.name = "Grid";
    type.file = file;
    type.defaultZoom = kZoom;
    type.maxZoom = 18;
    return type;
}

// What drawMapPicture says on its error stream, and whether it succeeded.
struct Outcome {
    bool ok = false;
    std::string said;
};

int share(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            n += image.pixelColor(x, y) == colour ? 1 : 0;
    return n * 100 / ((image.width() / 4) * (image.height() / 4));
}

} // namespace

class MapPictureTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ScreenWorld> w;
    fs::path out;

    Outcome draw(const std::string& source, geo::LatLon at = kHome, int zoom = kZoom)
    {
        MapPictureRequest r;
        r.latDeg = at.lat;
        r.lonDeg = at.lon;
        r.zoom = zoom;
        r.width = 400;
        r.height = 300;
        r.file = out.string();
        r.source = source;
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* err = open_memstream(&buffer, &size);
        Outcome o;
        o.ok = drawMapPicture(*w->global, r, err);
        std::fclose(err);
        o.said.assign(buffer, size);
        std::free(buffer);
        return o;
    }

    // Solid tiles of kMbTilesRed around home, rows counted from the south.
    void writeMbTiles(const fs::path& file)
    {
        QImage tile(256, 256, QImage::Format_RGB32);
        tile.fill(kMbTilesRed);
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(tile.save(&buffer, "PNG"));
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, "
                                  "tile_data BLOB)", nullptr, nullptr, nullptr), SQLITE_OK);
        maps::TileProvider::Options o;
        o.centre = kHome;
        o.zoom = kZoom;
        maps::MercatorTileProvider p(w->global->mapSources[0], o);
        const maps::WorldPoint c = p.centreWorld();
        sqlite3_stmt* st = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?, ?, ?, ?)", -1, &st, nullptr), SQLITE_OK);
        for (int i = -2; i <= 2; ++i)
            for (int j = -2; j <= 2; ++j) {
                const maps::WorldPoint t = p.offsetByTiles(c, i, j);
                sqlite3_bind_int(st, 1, kZoom);
                sqlite3_bind_int(st, 2, p.tileColumn(t));
                sqlite3_bind_int(st, 3, (1 << kZoom) - 1 - p.tileRow(t));
                sqlite3_bind_blob(st, 4, png.constData(), static_cast<int>(png.size()), SQLITE_TRANSIENT);
                QCOMPARE(sqlite3_step(st), SQLITE_DONE);
                sqlite3_reset(st);
            }
        sqlite3_finalize(st);
        sqlite3_close(db);
    }

private slots:
    void init()
    {
        w = std::make_unique<ScreenWorld>(ScreenWorld::Options{.home = kHome, .everyCache = true});
        out = w->root() / "picture.png";
        maps::MapSources& sources = w->global->mapSources;
        sources.clear();
        sources[0].type = "Google";
        sources[0].name = "Grid";
        sources[0].basic = {gridType("grid")};
        sources[1] = sources[0];
        sources[1].name = "Grid file";
        sources[1].storage = "mbtiles";
        sources[2].type = "Google";
        sources[2].name = "pankow";
        sources[2].storage = maps::kVectorStorage;
        sources[2].mapFiles = {"pankow.map"};
        w->makeTiles();
    }

    void tilesAndTheListedCachesAreInThePicture()
    {
        w->global->settings.caches = 0;
        Outcome bare = draw("");
        QVERIFY2(bare.ok, bare.said.c_str());
        const QImage tiles(QString::fromStdString(out.string()));
        QCOMPARE(tiles.size(), QSize(400, 300));
        QVERIFY(share(tiles, kPaper) > 50);

        w->addCache("GC1", 0.0, 0.0);
        w->global->settings.caches = 1;
        const Outcome withCache = draw("Grid");
        QVERIFY2(withCache.ok, withCache.said.c_str());
        const QImage picture(QString::fromStdString(out.string()));
        QCOMPARE(picture.size(), QSize(400, 300));
        // The cache's icon stands just above the centre; elsewhere the tiles are the same.
        int changed = 0;
        for (int y = 150 - 30; y < 150; ++y)
            for (int x = 200 - 12; x < 200 + 12; ++x)
                changed += picture.pixel(x, y) != tiles.pixel(x, y) ? 1 : 0;
        QVERIFY2(changed > 100, qPrintable(QString::number(changed)));
        QCOMPARE(picture.pixel(5, 5), tiles.pixel(5, 5));
    }

    void anMbTilesFileIsASourceToo()
    {
        writeMbTiles(w->mapFolder() / "grid.mbtiles");
        const Outcome o = draw("Grid file");
        QVERIFY2(o.ok, o.said.c_str());
        const QImage picture(QString::fromStdString(out.string()));
        QCOMPARE(picture.size(), QSize(400, 300));
        QVERIFY(share(picture, kMbTilesRed) > 90);
    }

    void anUnknownSourceAnEmptyPlaceAndAZoomOutsideAreRefused()
    {
        Outcome o = draw("Atlantis");
        QVERIFY(!o.ok);
        QVERIFY2(o.said.find("There is no map source called Atlantis.") != std::string::npos, o.said.c_str());
        o = draw("Grid", {-40.0, -100.0});
        QVERIFY(!o.ok);
        QVERIFY2(o.said.find("The map source Grid has no map at -40.00000, -100.00000.") != std::string::npos,
                 o.said.c_str());
        o = draw("Grid", kHome, 19);
        QVERIFY(!o.ok);
        QVERIFY2(o.said.find("The zoom 19 is outside the zooms of Grid, 1 to 18.") != std::string::npos,
                 o.said.c_str());
        QVERIFY(!fs::exists(out));
        // A vector map without a renderer in the build.
        o = draw("pankow");
        QVERIFY(!o.ok);
        QVERIFY2(o.said.find("This build cannot draw vector maps: pankow shows nothing.") != std::string::npos,
                 o.said.c_str());
    }

    void aVectorMapIsDrawnThroughTheRenderersOfTheProgram()
    {
        test::FakeRenderer* made = nullptr;
        bool covered = true;
        maps::VectorMapSettings asked;
        w->global->tileRenderers = [&](const maps::VectorMapSettings& settings) {
            asked = settings;
            auto renderer = std::make_unique<test::FakeRenderer>([](const test::FakeRenderer::Tile&) {
                QImage image(256, 256, QImage::Format_RGB32);
                image.fill(kVectorBlue);
                return std::make_shared<QtTileImage>(image);
            });
            renderer->hold = true; // the picture must not wait for queued tiles
            renderer->covered = [&covered](const test::FakeRenderer::Tile&) { return covered; };
            made = renderer.get();
            return renderer;
        };
        const Outcome o = draw("pankow");
        QVERIFY2(o.ok, o.said.c_str());
        QVERIFY(made);
        QCOMPARE(asked.mapFiles, std::vector<fs::path>{w->mapFolder() / "pankow.map"});
        QCOMPARE(asked.language, w->global->settings.language);
        QVERIFY(share(QImage(QString::fromStdString(out.string())), kVectorBlue) > 90);

        covered = false;
        const Outcome outside = draw("pankow");
        QVERIFY(!outside.ok);
        QVERIFY2(outside.said.find("has no map at") != std::string::npos, outside.said.c_str());
    }
};

QTEST_MAIN(MapPictureTest)
#include "MapPictureTest.moc"

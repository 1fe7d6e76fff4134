// SPDX-License-Identifier: GPL-3.0-or-later
// Real tile stores written by other tools, drawn through the Qt canvas: the
// pixels on the map are the pixels of the stored image.
#include "maps/MapComposer.h"
#include "maps/MercatorTileProvider.h"
#include "screens/QtImageDecoder.h"
#include "screens/QtMapCanvas.h"

#include <QTemporaryDir>
#include <QtTest>

#include <filesystem>

namespace fs = std::filesystem;
using namespace tw;

class QtMapCanvasTest : public QObject {
    Q_OBJECT

private slots:
    void drawsStoredTilesPixelForPixel_data()
    {
        QTest::addColumn<QString>("storage");
        QTest::addColumn<QString>("corpusFile");
        QTest::addColumn<QString>("localName");
        QTest::newRow("single-file tile database") << "database" << "plain_1_rmaps_bigplanet.sqlitedb"
                                                   << "plain.twmap";
        QTest::newRow("MBTiles") << "mbtiles" << "plain_1.mbtiles" << "plain.mbtiles";
    }

    void drawsStoredTilesPixelForPixel()
    {
        QFETCH(QString, storage);
        QFETCH(QString, corpusFile);
        QFETCH(QString, localName);
        const fs::path corpus = fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "corpus" / "tiles";
        if (!fs::exists(corpus / corpusFile.toStdString())) {
            // Under CI a missing corpus is a broken set-up, not a reason to skip.
            QVERIFY2(qgetenv("CI") != "true", "the tile corpus (../shared/corpus/tiles) is missing under CI");
            QSKIP("The tile corpus (../shared/corpus/tiles) is absent.");
        }
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        fs::copy_file(corpus / corpusFile.toStdString(), folder / localName.toStdString());

        maps::MapSource source;
        source.type = "Google";
        source.storage = storage.toStdString();
        maps::MapType type;
        type.mode = "basic";
        type.file = "plain";
        source.basic.push_back(type);
        maps::TileProvider::Options o;
        o.mapFolder = folder;
        o.zoom = 3;
        maps::MercatorTileProvider provider(source, o);
        provider.setCentre(provider.worldToLatLon({5500, 2500})); // column 5, row 2

        QtImageDecoder decoder;
        maps::MapComposer composer(provider, decoder);
        QImage frame(600, 600, QImage::Format_RGB32);
        maps::PixelPoint origin;
        {
            QtMapCanvas canvas(frame);
            origin = composer.composeTiles(canvas, {});
        }
        auto blob = provider.readTileBlob({5500, 2500}, 0);
        QVERIFY(blob.has_value());
        const QImage stored = QImage::fromData(blob->data(), static_cast<int>(blob->size()))
                                  .convertToFormat(QImage::Format_RGB32);
        QCOMPARE(stored.size(), QSize(256, 256));
        int differing = 0;
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                differing += frame.pixel(origin.x + x, origin.y + y) != stored.pixel(x, y) ? 1 : 0;
        QCOMPARE(differing, 0);
        // The tile to the west is a different image, drawn beside it.
        QVERIFY(frame.copy(origin.x - 256, origin.y, 256, 256) != frame.copy(origin.x, origin.y, 256, 256));
    }

    void undecodableDataGivesNoImage()
    {
        QtImageDecoder decoder;
        maps::TileBytes junk{'<', 'h', 't', 'm', 'l', '>'};
        QVERIFY(!decoder.decodeBuffer(std::move(junk)));
    }
};

QTEST_MAIN(QtMapCanvasTest)
#include "QtMapCanvasTest.moc"

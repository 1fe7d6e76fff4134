// SPDX-License-Identifier: GPL-3.0-or-later
// The map and the map tile download against tarnwick-sim: what the user sees
// and what ends up in the tile store.
#include "app/CGlobalData.h"
#include "app/GpsSwitch.h"
#include "app/WaypointEditing.h"
#include "db/CacheStore.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "maps/MapComposer.h"
#include "online/HttpTransfer.h"
#include "screens/CMapDnlDlg.h"
#include "screens/CMapScreen.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "tests/screens/ScreenWorld.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace tw;
using test::ScreenWorld;

namespace {

constexpr geo::LatLon kHome{50.087, 14.421};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr qint64 kAnswerMs = 300; // instrumented builds run several times slower
#else
constexpr qint64 kAnswerMs = 100;
#endif

// Every cache shows, measured from home.
const ScreenWorld::Options kMapWorld{.home = kHome, .everyCache = true};

// Degrees and minutes as NMEA writes them (northern and eastern half).
QString nmeaAngle(double value, int digits)
{
    const double a = std::fabs(value);
    const int d = static_cast<int>(a);
    return QStringLiteral("%1%2").arg(d, digits, 10, QLatin1Char('0')).arg((a - d) * 60.0, 7, 'f', 4, QLatin1Char('0'));
}

// An RMC and a GGA sentence with a fix at the position, at 10:15 and the
// given seconds by the receiver's time.
void feedFix(GpsReceiver& gps, geo::LatLon at, int second, double courseDeg = 90.0)
{
    const QString lat = nmeaAngle(at.lat, 2) + QStringLiteral(",N");
    const QString lon = nmeaAngle(at.lon, 3) + QStringLiteral(",E");
    const int s = 10 * 3600 + 15 * 60 + second;
    const QString time = QStringLiteral("%1%2%3")
                             .arg(s / 3600, 2, 10, QLatin1Char('0'))
                             .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                             .arg(s % 60, 2, 10, QLatin1Char('0'));
    gps.dispatchLine(
        QStringLiteral("$GPRMC,%1,A,%2,%3,2.0,%4,150624,,").arg(time, lat, lon).arg(courseDeg).toStdString());
    gps.dispatchLine(QStringLiteral("$GPGGA,%1,%2,%3,1,08,1.0,250.0,M,,M,,").arg(time, lat, lon).toStdString());
}

// A receiver log of a walk: per fix an RMC, a GGA and the satellites in
// view, with checksums, time stamps a quarter of a second apart.
QByteArray walkLog(const std::vector<geo::LatLon>& walk)
{
    const auto sentence = [](const QString& body) {
        unsigned sum = 0;
        for (const char c : body.toLatin1())
            sum ^= static_cast<unsigned char>(c);
        return QStringLiteral("$%1*%2\r\n").arg(body, QString::number(sum, 16).rightJustified(2, QLatin1Char('0')).toUpper()).toLatin1();
    };
    QByteArray log;
    for (std::size_t i = 0; i < walk.size(); ++i) {
        const double s = 36900.0 + 0.25 * static_cast<double>(i);
        const int whole = static_cast<int>(s);
        const QString time = QStringLiteral("%1%2%3")
                                 .arg(whole / 3600, 2, 10, QLatin1Char('0'))
                                 .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(whole % 60 + (s - whole), 5, 'f', 2, QLatin1Char('0'));
        const QString lat = nmeaAngle(walk[i].lat, 2) + QStringLiteral(",N");
        const QString lon = nmeaAngle(walk[i].lon, 3) + QStringLiteral(",E");
        log += sentence(QStringLiteral("GPRMC,%1,A,%2,%3,4.3,90.0,150624,,").arg(time, lat, lon));
        log += sentence(QStringLiteral("GPGGA,%1,%2,%3,1,08,0.9,250.0,M,45.0,M,,").arg(time, lat, lon));
        log += sentence(QStringLiteral("GPGSV,2,1,08,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45"));
        log += sentence(QStringLiteral("GPGSV,2,2,08,17,55,140,44,19,31,060,42,24,12,280,38,32,65,010,47"));
    }
    return log;
}

// How many of the walk's fixes the track keeps: one at least two seconds
// after the last one kept, by the receiver's time.
int keptOfWalk(std::size_t fixes)
{
    int kept = 0, last = -10;
    for (std::size_t i = 0; i < fixes; ++i) {
        const int whole = static_cast<int>(36900.0 + 0.25 * static_cast<double>(i));
        if (whole - last >= 2) {
            ++kept;
            last = whole;
        }
    }
    return kept;
}

// Stored tile data that no decoder reads.
std::string damagedTile(const QString& kind)
{
    if (kind == QLatin1String("empty"))
        return {};
    if (kind == QLatin1String("random")) {
        std::string bytes(700, '\0');
        std::uint32_t x = 2463534242u;
        for (char& c : bytes) {
            x ^= x << 13, x ^= x >> 17, x ^= x << 5;
            c = static_cast<char>(x);
        }
        return bytes;
    }
    QImage image(256, 256, QImage::Format_RGB32);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            image.setPixel(x, y, qRgb(x, y, (x * y) & 0xFF));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png.left(png.size() / 2).toStdString(); // truncated
}

} // namespace

class MapScreenTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString program = QStringLiteral(TARNWICK_RUNTIME_DIR "/tarnwick-sim");
        QVERIFY2(QFile::exists(program), "tarnwick-sim was not built");
        m_sim.start(program, {QStringLiteral("--port"), QStringLiteral("0")});
        QByteArray line;
        QElapsedTimer t;
        t.start();
        while (!line.contains('\n') && t.elapsed() < 5000 && m_sim.waitForReadyRead(500))
            line += m_sim.readAllStandardOutput();
        QVERIFY2(line.startsWith("listening on "), line.constData());
        m_port = line.mid(13).trimmed().toInt();
    }

    void cleanupTestCase()
    {
        m_sim.terminate();
        m_sim.waitForFinished(5000);
    }

    void simulatorTilesAreDrawnAndDragAndZoomKeysMoveTheView()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png");
        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QVERIFY(map->provider());
        maps::TileProvider& provider = *map->provider();
        const maps::WorldPoint centre = provider.centreWorld();

        // The centre tile arrives from the simulator and is drawn pixel for pixel.
        std::optional<maps::TileBytes> blob;
        QTRY_VERIFY_WITH_TIMEOUT((blob = provider.readTileBlob(centre, 0)).has_value(), 10000);
        const QImage stored = QImage::fromData(blob->data(), static_cast<int>(blob->size())).convertToFormat(QImage::Format_RGB32);
        const maps::PixelPoint offset = provider.pixelOffset(centre);
        const QPoint tileCorner(map->width() / 2 - offset.x, map->height() / 2 - offset.y);
        int same = 0;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     map->invalidateTiles();
                                     const QImage frame = map->renderFrame();
                                     same = 0;
                                     for (const QPoint at : {QPoint(40, 40), QPoint(216, 40), QPoint(40, 216), QPoint(216, 216)})
                                         same += frame.pixel(tileCorner + at) == stored.pixel(at) ? 1 : 0;
                                     return same >= 3;
                                 }()),
                                 5000);

        // Dragging 100 px to the left shows what lies east.
        const QPoint from(map->width() / 3, map->height() / 2);
        QTest::mousePress(map, Qt::LeftButton, {}, from);
        QTest::mouseMove(map, from - QPoint(50, 0));
        QTest::mouseRelease(map, Qt::LeftButton, {}, from - QPoint(100, 0));
        const maps::WorldPoint panned = provider.centreWorld();
        QVERIFY(std::abs(panned.x - centre.x - 100 * 1000 / 256) <= 2);
        QVERIFY(std::abs(panned.y - centre.y) <= 2);

        const int zoom = provider.zoom();
        QTest::mouseClick(map, Qt::LeftButton, {}, map->buttonRect(CMapScreen::Button::ZoomIn).center());
        QCOMPARE(provider.zoom(), zoom + 1);
        QTest::mouseClick(map, Qt::LeftButton, {}, map->buttonRect(CMapScreen::Button::ZoomOut).center());
        QTest::mouseClick(map, Qt::LeftButton, {}, map->buttonRect(CMapScreen::Button::ZoomOut).center());
        QCOMPARE(provider.zoom(), zoom - 1);
        QVERIFY(w.prompter.messages().empty());
    }

    void gpsPositionMovesTheMarkerTheTrackGrowsAndTheMapFollows()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png");
        QCOMPARE(w.global->db.trackDb.OpenFile(w.global->trackDbPath().string()), 0);
        std::time_t clock = 1700000000;
        w.global->gpsServices.trackLogger->setClock([&clock] { return clock += 40; }); // no point is taken for a jump
        w.global->gpsServices.trackLogger->setRecording(true);
        QVERIFY(w.global->gpsServices.trackLogger->openTrackLog());
        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QVERIFY(map->provider());

        const geo::LatLon first = geo::projectPoint(kHome, 0.3, 270.0);
        feedFix(*w.global->gpsServices.gps, first, 0);
        QTRY_VERIFY(map->shown().marker && map->screenPointOf(first) == map->shown().marker);
        QTRY_COMPARE(map->shown().trackPoints, 1);
        const QPoint before = *map->shown().marker;

        const geo::LatLon second = geo::projectPoint(first, 0.2, 90.0);
        feedFix(*w.global->gpsServices.gps, second, 40); // no point is taken for a jump
        QTRY_COMPARE(map->shown().trackPoints, 2);
        QTRY_VERIFY(map->shown().marker && map->shown().marker->x() > before.x() + 10);
        QCOMPARE(map->shown().marker->y(), before.y());

        // Moving map: a position beyond a quarter of the screen becomes the centre.
        map->setMovingMap(true);
        const geo::LatLon away = geo::projectPoint(kHome, 3.0, 0.0);
        feedFix(*w.global->gpsServices.gps, away, 80);
        QTRY_VERIFY(geo::distanceKm(map->mapCentre(), away) < 0.01);
        QTRY_COMPARE(map->shown().trackPoints, 3);
    }

    void aReplayedWalkMovesTheMarkerAndTheMapOverSimulatorTiles()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png");
        QCOMPARE(w.global->db.trackDb.OpenFile(w.global->trackDbPath().string()), 0);
        auto clock = std::make_shared<std::atomic<std::time_t>>(1700000000);
        w.global->gpsServices.trackLogger->setClock([clock] { return clock->fetch_add(5) + 5; });
        w.global->gpsServices.trackLogger->setRecording(true);
        QVERIFY(w.global->gpsServices.trackLogger->openTrackLog());
        // 500 m to the east in steps of 20 m.
        std::vector<geo::LatLon> walk;
        for (int i = 0; i < 26; ++i)
            walk.push_back(geo::projectPoint(kHome, 0.02 * i, 90.0));
        const fs::path log = fs::path(w.dir.path().toStdString()) / "walk.nmea";
        QFile file(QString::fromStdString(log.string()));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(walkLog(walk));
        file.close();

        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QVERIFY(map->provider());
        maps::TileProvider& provider = *map->provider();
        map->zoomIn();
        map->zoomIn(); // zoom 16: a quarter of the screen is under 200 m
        map->setMovingMap(true);
        w.global->gpsServices.gpsSwitch->switchOn("replay:" + log.string(), 4800);

        // Samples of what the frames showed while the log plays.
        int markerSteps = 0, centreJumps = 0, westward = 0, trackGrew = 0;
        std::optional<QPoint> lastMarker;
        geo::LatLon lastCentre = map->mapCentre();
        int lastTrack = 0;
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     const CMapScreen::Shown& shown = map->shown();
                                     const geo::LatLon centre = map->mapCentre();
                                     if (geo::distanceKm(centre, lastCentre) > 0.05) {
                                         ++(centre.lon > lastCentre.lon ? centreJumps : westward);
                                     } else if (shown.marker && lastMarker && shown.marker->x() > lastMarker->x()) {
                                         ++markerSteps;
                                     }
                                     trackGrew += shown.trackPoints > lastTrack ? 1 : 0;
                                     lastMarker = shown.marker;
                                     lastCentre = centre;
                                     lastTrack = shown.trackPoints;
                                     return shown.trackPoints == keptOfWalk(walk.size());
                                 }()),
                                 15000);
        QVERIFY2(markerSteps >= 3, qPrintable(QString::number(markerSteps)));
        QVERIFY2(centreJumps >= 2 && westward == 0, qPrintable(QStringLiteral("%1 %2").arg(centreJumps).arg(westward)));
        QVERIFY2(trackGrew >= 3, qPrintable(QString::number(trackGrew)));
        QCOMPARE(static_cast<int>(w.global->gpsServices.trackLogger->recentPoints(100).size()), keptOfWalk(walk.size()));
        QVERIFY(geo::distanceKm(map->mapCentre(), kHome) > 0.3);
        QTRY_VERIFY_WITH_TIMEOUT(map->shown().marker && map->screenPointOf(walk.back()) == map->shown().marker, 5000);
        // The tile under the walk's end came from the simulator.
        QTRY_VERIFY_WITH_TIMEOUT(provider.hasTile(provider.latLonToWorld(walk.back().lat, walk.back().lon), 0), 10000);
        w.global->gpsServices.gpsSwitch->switchOff();
        w.global->gpsServices.gpsSwitch->finish();
        QVERIFY(w.prompter.messages().empty());
    }

    void panningDrawsWhatComposingAfreshDraws()
    {
        // Two maps over the same stored tiles, caches, waypoints and track:
        // one pans as the user does, the other composes every frame afresh.
        ScreenWorld panned(kMapWorld), fresh(kMapWorld);
        for (ScreenWorld* w : {&panned, &fresh}) {
            w->mapFromSimulator(m_port, "", "folder");
            w->global->mapSources[0].basic[0].maxAvailZoom = 0; // nothing to download
            w->global->settings.showWpts = 2;
            w->makeTiles();
            for (int i = 0; i < 90; ++i)
                w->addCache("GCP" + std::to_string(100 + i), 0.05 + 0.025 * i, 47.0 * i, i % 10 == 0 ? 2 : 0);
            w->global->list.readCaches();
            QCOMPARE(w->global->db.trackDb.OpenFile(w->global->trackDbPath().string()), 0);
            std::time_t clock = 1700000000;
            w->global->gpsServices.trackLogger->setClock([clock]() mutable { return clock += 5; });
            w->global->gpsServices.trackLogger->setRecording(true);
            QVERIFY(w->global->gpsServices.trackLogger->openTrackLog());
            for (int i = 0; i < 300; ++i) {
                const geo::LatLon at = geo::projectPoint(kHome, 0.012 * i, 60.0 * std::sin(i / 30.0));
                w->global->gpsServices.trackLogger->appendTrack(at.lat, at.lon, 250, 1, 8, 4);
            }
        }
        const QPoint pans[] = {{40, 0},   {40, 0},  {40, 0},  {40, 0}, {40, 0},  {40, 0},   {0, -30}, {0, -30},
                               {-70, 25}, {-70, 25}, {300, 0}, {-5, 3}, {1, 1},   {0, 260}, {-256, 0}, {13, -17},
                               {600, 500}, {-2, -2}, {-90, -45}};
        for (const QSize size : {QSize(480, 800), QSize(1920, 1080)}) {
            CMapScreen a(*panned.global, panned.notifier), b(*fresh.global, fresh.notifier);
            a.resize(size);
            b.resize(size);
            QCOMPARE(a.renderFrame(), b.renderFrame());
            int caches = 0, waypoints = 0;
            for (const QPoint by : pans) {
                a.panBy(by.x(), by.y());
                b.panBy(by.x(), by.y());
                for (int frame = 0; frame < 2; ++frame) {
                    // The first frame says the list is loading; the events
                    // after it read the list for the new area.
                    if (frame == 1)
                        QCoreApplication::processEvents();
                    b.invalidateTiles();
                    QCOMPARE(a.renderFrame(), b.renderFrame());
                    QCOMPARE(a.shown().banner.isEmpty(), frame == 1);
                    QCOMPARE(a.shown().cachesDrawn, b.shown().cachesDrawn);
                    QCOMPARE(a.shown().waypointsDrawn, b.shown().waypointsDrawn);
                    caches = std::max(caches, a.shown().cachesDrawn);
                    waypoints = std::max(waypoints, a.shown().waypointsDrawn);
                }
            }
            QVERIFY(caches > 20 && waypoints > 5 && a.shown().trackPoints > 100);
        }
    }

    void tappingACacheMakesItCurrent()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png");
        w.addCache("GCNEAR", 0.6, 45.0);
        w.addCache("GCFAR", 1.0, 225.0);
        w.global->list.readCaches();
        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QSignalSpy tapped(map, &CMapScreen::cacheTapped);
        const geo::LatLon near = geo::projectPoint(kHome, 0.6, 45.0);
        std::optional<QPoint> at;
        QTRY_VERIFY(map->shown().cachesDrawn == 2 && (at = map->screenPointOf(near)));
        const maps::Rect icon = maps::recordIconRect({at->x(), at->y()}, true);
        QTest::mouseClick(map, Qt::LeftButton, {}, QPoint(icon.x + icon.width / 2, icon.y + icon.height / 2));
        QCOMPARE(tapped.count(), 1);
        QCOMPARE(tapped.front().front().toString(), QStringLiteral("GCNEAR"));
        QVERIFY(w.global->list.currentCache());
        QCOMPARE(w.global->list.currentCache()->code, std::string("GCNEAR"));
    }

    void anUnknownSourceTypeIsReportedAndTheMapCloses()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png");
        w.global->mapSources[0].type = "Atlas";
        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QVERIFY(!map->provider());
        QTRY_COMPARE(window->screenDepth(), 1);
        QCOMPARE(w.prompter.messages().size(), std::size_t(1));
        QCOMPARE(w.prompter.messages().front().text, std::string("Invalid map configuration"));
    }

    void aSourceThatForbidsBulkDownloadsOffersNoAreaDownload()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png");
        w.global->mapSources[0].bulkDownload = false;
        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QVERIFY(map->provider());
        map->openDownloadDialog(); // says why instead of opening the dialog
        QCOMPARE(w.prompter.messages().size(), std::size_t(1));
        const std::string said = w.prompter.messages().front().text;
        QVERIFY2(said.find("Simulator") != std::string::npos && said.find(".map") != std::string::npos, said.c_str());
        QCOMPARE(window->screenDepth(), 2);
    }

    // A tile file that is there but does not read is said on the map (its
    // name) and in the log (its path and why), not in a box to dismiss.
    void aTileFileThatDoesNotReadIsSaidOnTheMapAndInTheLog_data()
    {
        QTest::addColumn<QString>("storage");
        QTest::addColumn<QString>("file");
        QTest::newRow("MBTiles") << "mbtiles" << "grid.mbtiles";
        QTest::newRow("tile database of another program") << "database" << "grid.sqlitedb";
    }

    void aTileFileThatDoesNotReadIsSaidOnTheMapAndInTheLog()
    {
        QFETCH(QString, storage);
        QFETCH(QString, file);
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png", storage.toStdString());
        w.global->netClient.setDownloadsOn(false);
        const std::filesystem::path tiles = w.mapFolder() / file.toStdString();
        std::filesystem::create_directories(tiles.parent_path());
        std::ofstream(tiles) << std::string(8192, 'x');
        std::filesystem::create_directories(w.global->logPath().parent_path());
        std::ofstream(w.global->logPath()).flush();

        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QVERIFY(map->provider());
        map->renderFrame();
        const QString said = QStringLiteral("The map tiles in %1 cannot be read.").arg(file);
        QTRY_COMPARE(map->shown().banner, said);
        std::ifstream logFile(w.global->logPath());
        const std::string log((std::istreambuf_iterator<char>(logFile)), std::istreambuf_iterator<char>());
        QVERIFY2(log.find("The map tiles in " + tiles.string() + " cannot be read. (file is not a database)") !=
                     std::string::npos,
                 log.c_str());
        // Said once however often the map is drawn.
        map->invalidateTiles(true);
        map->renderFrame();
        std::ifstream again(w.global->logPath());
        const std::string log2((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
        QCOMPARE(log2, log);
        QVERIFY(w.prompter.messages().empty());
    }

    void areaDownloadStoresExactlyTheCountedTiles()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/tiles/{z}/{x}/{y}.png", "folder");
        w.addCache("GCAREA", 0.2, 10.0);
        w.global->list.readCaches();
        auto provider = w.tileProvider();
        CMapDnlDlg dialog(*w.global, w.notifier, *provider);
        QCOMPARE(dialog.zooms(), (std::vector<int>{10, 11, 12, 13, 14, 15, 16}));
        dialog.setMapArea(1);
        dialog.setZoomChosen(15, true);
        QCOMPARE(dialog.recount(), 18); // 3 × 3 tiles at zoom levels 14 and 15
        dialog.start();
        QCOMPARE(dialog.queuedCount(), 18);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.progress(), 100, 20000);
        QCOMPARE(w.tileFiles(".png"), 18);
        QCOMPARE(w.tileFiles(".part" + std::to_string(::getpid())), 0);

        // Everything is stored now: nothing is asked for again.
        dialog.recount();
        dialog.start();
        QCOMPARE(dialog.queuedCount(), 0);
        QCOMPARE(dialog.progress(), 100);
    }

    void stopEndsASlowDownloadWithinASecondAndLeavesNoFile()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/slow/tiles/{z}/{x}/{y}.png?delay=30", "folder");
        w.addCache("GCSLOW", 0.2, 10.0);
        w.global->list.readCaches();
        auto provider = w.tileProvider();
        CMapDnlDlg dialog(*w.global, w.notifier, *provider);
        dialog.setMapArea(1);
        QCOMPARE(dialog.recount(), 9);
        const int asked = requestsStartingWith("GET /slow/tiles/");
        dialog.start();
        QTRY_VERIFY(w.global->netClient.running());
        // The first tile is on its way: the simulator has its request.
        QVERIFY2(QTest::qWaitFor([&] { return requestsStartingWith("GET /slow/tiles/") > asked; }, 5000),
                 "no tile was asked for");

        QElapsedTimer t;
        t.start();
        dialog.stop();
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!w.global->netClient.running());
        QCOMPARE(w.global->netClient.queued(), 0);
        QCOMPARE(dialog.progress(), 0);
        QCOMPARE(w.tileFiles(""), 0);
    }

    void theWindowAnswersWhileTheWorkerWaitsForTiles()
    {
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, "/slow/tiles/{z}/{x}/{y}.png?delay=30");
        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QTRY_VERIFY(w.global->netClient.running() && w.global->netClient.queued() > 0);

        // Events posted to the window thread are delivered promptly while the
        // map repaints and the worker hangs on a tile.
        qint64 slowest = 0;
        for (int i = 0; i < 20; ++i) {
            map->invalidateTiles();
            QElapsedTimer posted;
            posted.start();
            bool delivered = false;
            QTimer::singleShot(0, map, [&] {
                slowest = std::max(slowest, posted.elapsed());
                delivered = true;
            });
            QTRY_VERIFY_WITH_TIMEOUT(delivered, 2000);
        }
        QVERIFY2(slowest < kAnswerMs, qPrintable(QString::number(slowest)));
        QVERIFY(w.global->netClient.running());
        window->popToRoot();
        QTRY_VERIFY(!w.global->netClient.running());
    }

    void damagedTilesAreFetchedOnceOrShownAsMissing_data()
    {
        QTest::addColumn<QString>("storage");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("server");
        for (const char* storage : {"database", "folder"})
            for (const char* damage : {"truncated", "random", "empty"})
                for (const char* server : {"offline", "good", "garbage"})
                    QTest::addRow("%s, %s, %s", storage, damage, server) << storage << damage << server;
    }

    void damagedTilesAreFetchedOnceOrShownAsMissing()
    {
        QFETCH(QString, storage);
        QFETCH(QString, damage);
        QFETCH(QString, server);
        ScreenWorld w(kMapWorld);
        w.mapFromSimulator(m_port, server == QLatin1String("garbage") ? "/garbage/tiles/{z}/{x}/{y}.png" : "/tiles/{z}/{x}/{y}.png",
                           storage.toStdString());
        w.global->netClient.setDownloadsOn(server != QLatin1String("offline"));

        // The view's centre tile is stored damaged before the map opens.
        auto writer = w.tileProvider();
        const maps::WorldPoint centre = writer->centreWorld();
        const std::string bad = damagedTile(damage);
        fs::path file;
        if (storage == QLatin1String("folder")) {
            file = writer->tilePath(centre, 0).replace_extension(".png");
            fs::create_directories(file.parent_path());
            std::ofstream(file, std::ios::binary) << bad;
        } else {
            QVERIFY(writer->database(0));
            QVERIFY(writer->database(0)->write(writer->databaseKey(centre, 0), bad.data(), bad.size()));
        }
        const std::string url = writer->tileUrl(centre, 0);
        const std::string asked = "GET " + url.substr(url.find('/', std::strlen("http://")));
        const int askedBefore = requestsFor(asked);

        auto window = w.openWindow({480, 800});
        CMapScreen* map = openMapScreen(*window, *w.global);
        QVERIFY(map->provider());
        maps::TileProvider& provider = *map->provider();
        QCOMPARE(provider.tileUrl(provider.centreWorld(), 0), url);
        const maps::PixelPoint offset = provider.pixelOffset(provider.centreWorld());
        const QPoint tileCorner(map->width() / 2 - offset.x, map->height() / 2 - offset.y);
        // Squares of the missing-tile pattern: a grey cross every 64 pixels.
        const auto crossesShown = [&](const QImage& frame) {
            int n = 0;
            for (int cx = 32; cx < 256; cx += 64)
                for (int cy = 32; cy < 256; cy += 64)
                    n += frame.pixel(tileCorner + QPoint(cx, cy)) == QColor(0xBF, 0xBF, 0xBF).rgb() &&
                                 frame.pixel(tileCorner + QPoint(cx + 3, cy)) == QColor(0xBF, 0xBF, 0xBF).rgb()
                             ? 1
                             : 0;
            return n;
        };
        const auto idle = [&] { return !w.global->netClient.running() && w.global->netClient.queued() == 0; };

        // The centre tile as it is stored now.
        const auto stored = [&]() -> std::optional<std::string> {
            if (storage == QLatin1String("database")) {
                auto blob = provider.readTileBlob(provider.centreWorld(), 0);
                return blob ? std::optional<std::string>(std::string(blob->begin(), blob->end())) : std::nullopt;
            }
            const fs::path now = provider.tilePath(provider.centreWorld(), 0);
            return fs::is_regular_file(now) ? std::optional<std::string>(readAll(now)) : std::nullopt;
        };
        const auto decodes = [](const std::optional<std::string>& bytes) {
            return bytes && !QImage::fromData(QByteArray::fromStdString(*bytes)).isNull();
        };

        if (server == QLatin1String("good")) {
            // Fetched again, replaced, and drawn pixel for pixel.
            QTRY_VERIFY_WITH_TIMEOUT(decodes(stored()), 10000);
            const QImage tile = QImage::fromData(QByteArray::fromStdString(*stored())).convertToFormat(QImage::Format_RGB32);
            QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                         map->invalidateTiles();
                                         const QImage frame = map->renderFrame();
                                         int same = 0;
                                         for (const QPoint at : {QPoint(40, 40), QPoint(216, 40), QPoint(40, 216), QPoint(216, 216)})
                                             same += frame.pixel(tileCorner + at) == tile.pixel(at) ? 1 : 0;
                                         return same >= 3;
                                     }()),
                                     5000);
            QCOMPARE(requestsFor(asked) - askedBefore, 1);
        } else {
            if (server == QLatin1String("garbage")) {
                // One request; what it brings does not decode either.
                QTRY_VERIFY_WITH_TIMEOUT(requestsFor(asked) - askedBefore >= 1 && idle(), 10000);
                for (int i = 0; i < 5; ++i) {
                    map->invalidateTiles(true);
                    map->renderFrame();
                    QTest::qWait(20);
                    QTRY_VERIFY_WITH_TIMEOUT(idle(), 10000);
                }
                QVERIFY(stored() && !decodes(stored()));
            } else {
                // Offline: the damaged copy stays and nothing goes out.
                map->renderFrame();
                QCOMPARE(stored(), std::optional<std::string>(bad));
            }
            map->invalidateTiles(true);
            QVERIFY2(crossesShown(map->renderFrame()) >= 12, qPrintable(QString::number(crossesShown(map->renderFrame()))));
            QCOMPARE(requestsFor(asked) - askedBefore, server == QLatin1String("garbage") ? 1 : 0);
        }
        QVERIFY(w.prompter.messages().empty());
    }

private:
    // Requests for exactly this "GET /path" served by the simulator so far.
    int requestsFor(const std::string& line) const
    {
        return countRequests([&](const std::string& l) { return l == line; });
    }
    int requestsStartingWith(const std::string& prefix) const
    {
        return countRequests([&](const std::string& l) { return l.starts_with(prefix); });
    }
    int countRequests(const std::function<bool(const std::string&)>& counted) const
    {
        net::TransferRequest req;
        req.url = "http://127.0.0.1:" + std::to_string(m_port) + "/_sim/log";
        std::istringstream in(net::transfer(req).body);
        int n = 0;
        for (std::string l; std::getline(in, l);)
            n += counted(l) ? 1 : 0;
        return n;
    }
    static std::string readAll(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    QProcess m_sim;
    int m_port = 0;
};

QTEST_MAIN(MapScreenTest)
#include "CMapScreenTest.moc"

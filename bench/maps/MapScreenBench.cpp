// SPDX-License-Identifier: GPL-3.0-or-later
// Frame times of the map screen while panning: 500 listed caches, 200
// waypoints, an 800-point track and an 800-point route over a folder of PNG
// tiles, at 480 × 800 and 1920 × 1080. Each panning frame composes the tile
// layer afresh; warm reuses decoded tiles, cold reads and decodes them again.
//   build/bin/map_screen_bench [frames] [--theme day|night|contrast] [--dump FOLDER] [--database FILE]
// --theme draws the map in that theme's look (the night's darkened tiles).
// With --dump it writes the frames of a fixed walk over the map as PNG files
// instead, so that two builds can be compared picture for picture. With
// --database it opens the map over that cache database (make_cache_database
// writes a big one, dense around the centre) and times what the user waits
// for: the list read for the view, the first frame, and the frame after a
// pan with the list read again.
#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "db/CacheStore.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "maps/MercatorTileProvider.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/CMapScreen.h"
#include "screens/QtNotifier.h"
#include "screens/Theme.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr geo::LatLon kHome{50.087, 14.421};
constexpr int kZoom = 14;

void makeTiles(const fs::path& folder, maps::MapSource& source)
{
    source.type = "Google";
    maps::MapType type;
    type.mode = "basic";
    type.name = "Bench";
    type.file = "bench";
    type.defaultZoom = kZoom;
    type.maxZoom = 18;
    source.basic.push_back(type);
    maps::TileProvider::Options o;
    o.mapFolder = folder;
    o.centre = kHome;
    maps::MercatorTileProvider provider(source, o);
    const maps::WorldPoint c = provider.centreWorld();
    QImage image(256, 256, QImage::Format_RGB32);
    for (int i = -8; i <= 8; ++i)
        for (int j = -8; j <= 8; ++j) {
            std::mt19937 random(static_cast<unsigned>(i * 7919 + j));
            QPainter p(&image);
            p.fillRect(image.rect(), QColor(230, 225, 210));
            for (int k = 0; k < 40; ++k) {
                p.setPen(QPen(Qt::white, 1 + static_cast<int>(random() % 6)));
                p.drawLine(random() % 256, random() % 256, random() % 256, random() % 256);
            }
            p.end();
            const maps::WorldPoint t = provider.offsetByTiles(c, i, j);
            fs::path path = provider.tilePath(t, 0);
            path.replace_extension(".png");
            fs::create_directories(path.parent_path());
            image.save(QString::fromStdString(path.string()));
        }
}

struct Stats {
    double median = 0;
    double p99 = 0;
};

Stats stats(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

// Frames while panning 40 px at a time to the east and back.
std::vector<double> panFrames(CMapScreen& map, int frames, bool cold)
{
    std::vector<double> ms;
    for (int i = 0; i < frames; ++i) {
        map.panBy((i / 10) % 2 ? -40 : 40, 0);
        if (cold)
            map.invalidateTiles(true);
        QElapsedTimer t;
        t.start();
        const QImage frame = map.renderFrame();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        if (frame.isNull())
            std::abort();
    }
    return ms;
}

// Frames of pans of many lengths and directions, within a tile and across
// tile edges, each followed by the frame after the list was read again.
void dumpFrames(CMapScreen& map, const QString& folder, const QString& prefix)
{
    const QPoint pans[] = {{40, 0},  {40, 0},  {40, 0},   {40, 0},  {40, 0}, {40, 0}, {40, 0}, {0, -30}, {0, -30},
                           {0, -30}, {-70, 25}, {-70, 25}, {-70, 25}, {300, 0}, {-5, 3}, {1, 1}, {-1, 0}, {0, 260},
                           {-256, 0}, {13, -17}, {600, 500}, {-2, -2}};
    int n = 0;
    map.renderFrame().save(QStringLiteral("%1/%2-%3.png").arg(folder, prefix).arg(n++, 3, 10, QLatin1Char('0')));
    for (const QPoint by : pans) {
        map.panBy(by.x(), by.y());
        for (int k = 0; k < 2; ++k) {
            // Between frames the window's events run: the list is read then.
            QCoreApplication::processEvents();
            map.renderFrame().save(QStringLiteral("%1/%2-%3.png").arg(folder, prefix).arg(n++, 3, 10, QLatin1Char('0')));
        }
    }
}

double msSince(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

// The first frames of the map over a big database (see --database).
int firstFrames(CGlobalData& global, QtNotifier& notifier, int runs)
{
    std::vector<double> list, first, reload;
    int drawn = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        global.list.readCaches();
        list.push_back(msSince(t));
        CMapScreen map(global, notifier);
        map.resize(QSize(480, 800));
        t.restart();
        map.renderFrame();
        first.push_back(msSince(t));
        drawn = map.shown().cachesDrawn;
        map.panBy(run % 2 ? -200 : 200, 120);
        map.renderFrame();
        t.restart();
        QCoreApplication::processEvents();
        map.renderFrame();
        reload.push_back(msSince(t));
    }
    const Stats l = stats(list), f = stats(first), r = stats(reload);
    std::printf("database: %d caches in it, %zu listed, %d drawn\n", global.db.cacheCount, global.list.caches.size(),
                drawn);
    std::printf("first frame: list %.1f ms, frame %.1f ms, together %.1f ms; after a pan: list and frame %.1f ms "
                "(medians of %d)\n",
                l.median, f.median, l.median + f.median, r.median, runs);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    int frames = 300;
    QString dump;
    std::string database;
    Theme theme = Theme::Day;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--theme" && i + 1 < argc) {
            const std::string name = argv[++i];
            theme = name == "night" ? Theme::Night : name == "contrast" ? Theme::Contrast : Theme::Day;
        } else if (std::string(argv[i]) == "--dump" && i + 1 < argc)
            dump = QString::fromLocal8Bit(argv[++i]);
        else if (std::string(argv[i]) == "--database" && i + 1 < argc)
            database = argv[++i];
        else
            frames = std::max(10, std::atoi(argv[i]));
    }

    applyTheme(theme);
    QTemporaryDir dir;
    Paths p;
    const fs::path root = dir.path().toStdString();
    p.config = root / "config";
    p.data = root / "data";
    p.documents = root / "docs";
    p.install = TARNWICK_RUNTIME_DIR;
    fs::create_directories(p.data);
    RecordingPrompter prompter;
    QtNotifier notifier;
    RecordingKeepAwake keepAwake;
    CGlobalData global(p, {prompter, notifier, keepAwake});
    global.settings.language = "en";
    global.LoadSettings(SettingsGroup::User);
    if (!database.empty())
        global.settings.dbFile = database;
    else
        fs::copy_file(p.install / "emptydb.db3", global.settings.dbFile);
    global.db.cacheDb.OpenFile(global.settings.dbFile);
    global.db.InitTagCategories();
    global.settings.homeLat = kHome.lat;
    global.settings.homeLon = kHome.lon;
    global.settings.maxRows = 1000;
    global.settings.showWpts = 2;
    global.list.filter.refPoint = 3;
    global.list.filter.owned = 2;
    global.list.filter.found = 2;
    makeTiles(p.data, global.mapSources[0]);
    if (!database.empty()) {
        global.db.ReadDbCounters();
        global.settings.maxRows = 999;
        return firstFrames(global, notifier, 7);
    }

    std::mt19937 random(7);
    std::uniform_real_distribution<double> km(0.05, 2.5), bearing(0, 360);
    global.db.cacheDb.Exec("BEGIN");
    for (int i = 0; i < 500; ++i) {
        CGeocache c;
        c.code = "GCB" + std::to_string(1000 + i);
        c.name = "Bench cache " + std::to_string(i);
        const geo::LatLon at = geo::projectPoint(kHome, km(random), bearing(random));
        c.lat = at.lat;
        c.lon = at.lon;
        c.type = 2 + i % 8;
        c.found = i % 7 == 0 ? 20200101 : 0;
        CacheStore(global.db.cacheDb, global.db.tagCategories).InsertCache(c);
        if (i < 100)
            for (int k = 0; k < 2; ++k) {
                CWaypoint w = newWaypointFor(global, c.code);
                w.name = "Stage " + std::to_string(k + 1);
                const geo::LatLon wp = geo::projectPoint(at, 0.1 + 0.1 * k, 90.0 * k);
                w.lat = wp.lat;
                w.lon = wp.lon;
                storeWaypoint(global, w);
            }
    }
    global.db.cacheDb.Exec("COMMIT");
    global.list.readCaches();

    if (global.db.trackDb.OpenFile(global.trackDbPath().string()) != 0)
        return 1;
    std::time_t clock = 1700000000;
    global.gpsServices.trackLogger->setClock([&clock] { return clock += 5; });
    global.gpsServices.trackLogger->setRecording(true);
    global.gpsServices.trackLogger->openTrackLog();
    auto& route = global.gpsServices.trackLogger->route.emplace_back();
    for (int i = 0; i < 800; ++i) {
        const geo::LatLon at = geo::projectPoint(kHome, 0.002 * i, 45.0 + 60.0 * std::sin(i / 40.0));
        global.gpsServices.trackLogger->appendTrack(at.lat, at.lon, 250, 1, 8, 4);
        route.push_back(geo::projectPoint(kHome, 0.002 * i, 225.0));
    }

    if (!dump.isEmpty()) {
        fs::create_directories(dump.toStdString());
        for (const QSize size : {QSize(480, 800), QSize(1920, 1080)}) {
            CMapScreen map(global, notifier);
            map.resize(size);
            dumpFrames(map, dump, QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
        }
        return 0;
    }
    std::printf("%zu caches listed, %zu track points in memory, %d frames per row, theme %d\n",
                global.list.caches.size(), global.gpsServices.trackLogger->recentPoints(5000).size(), frames,
                static_cast<int>(theme));
    std::printf("%-12s %-6s %10s %10s %8s %8s\n", "size", "tiles", "median ms", "p99 ms", "caches", "wpts");
    for (const QSize size : {QSize(480, 800), QSize(1920, 1080)}) {
        CMapScreen map(global, notifier);
        map.resize(size);
        map.renderFrame();
        for (const bool cold : {false, true}) {
            const Stats s = stats(panFrames(map, cold ? frames / 3 : frames, cold));
            std::printf("%-12s %-6s %10.2f %10.2f %8d %8d\n",
                        qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())), cold ? "cold" : "warm",
                        s.median, s.p99, map.shown().cachesDrawn, map.shown().waypointsDrawn);
        }
        // The events after a pan, which read the list for the new area, with
        // the frame that follows, and a frame that only redraws the keys and
        // the marker over the layer.
        std::vector<double> reload, overlay;
        for (int i = 0; i < 20; ++i) {
            map.panBy(40, 0);
            map.renderFrame();
            QElapsedTimer t;
            t.start();
            QCoreApplication::processEvents();
            map.renderFrame();
            reload.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
            t.restart();
            map.renderFrame();
            overlay.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
        }
        const Stats r = stats(reload), o = stats(overlay);
        std::printf("%-12s reload frame median %.2f ms, p99 %.2f ms; overlay-only frame median %.2f ms\n",
                    qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())), r.median, r.p99, o.median);
    }
    return 0;
}

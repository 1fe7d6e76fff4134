// SPDX-License-Identifier: GPL-3.0-or-later
// Frame times of the map screen while panning: 500 listed caches, 200
// waypoints, an 800-point track and an 800-point route over a folder of PNG
// tiles, at 480 × 800 and 1920 × 1080. Each panning frame composes the tile
// layer afresh; warm reuses decoded tiles, cold reads and decodes them again.
//   build/bin/map_screen_bench [frames] [--look day|night|contrast] [--dump FOLDER] [--database FILE]
// --look draws the map in that theme's look (the night's darkened tiles).
// With --dump it writes the frames of a fixed walk over the map as PNG files
// instead, so that two builds can be compared picture for picture. With
// --database it opens the map over that cache database (make_cache_database
// writes a big one, dense around the centre) and times what the user waits
// for: the list read for the view, the first frame, and the frame after a
// pan with the list read again.
// With --vector it pans over a vector map instead (FILE, else the demo's
// made-up map), drawn by the program's renderer with its own theme (or
// --theme FILE): the frames once the renderer has drawn every tile of the
// walk, then a while of pans and zooms between 12 and 18 with every tile
// drawn, and the process's peak memory. --centre LAT,LON places the walk
// (default: the map file's start position).
//   build/bin/map_screen_bench --vector [FILE] [--theme FILE] [--centre LAT,LON]
#include "app/CGlobalData.h"
#include "app/WaypointEditing.h"
#include "db/CacheStore.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "maps/MercatorTileProvider.h"
#include "maps/VectorSource.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/CMapScreen.h"
#include "screens/QtNotifier.h"
#include "screens/Theme.h"
#include "screens/vector/VectorTileRenderer.h"
#include "tools/demomap/DemoMap.h"
#include "tools/mapwriter/MapWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <vector>

#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr geo::LatLon kPrague{50.087, 14.421};
constexpr int kZoom = 14;

void makeTiles(const fs::path& folder, maps::MapSource& source, geo::LatLon home)
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
    o.centre = home;
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

// The vector map as the current source, drawn by the program's renderer.
// False when the file is no map the folder scan finds.
bool chooseVectorMap(CGlobalData& global, const fs::path& file)
{
    const fs::path mapFolder = global.paths.deviceFolder(global.settings.mapFolder);
    fs::copy_file(file, mapFolder / file.filename(), fs::copy_options::overwrite_existing);
    maps::MapSources found;
    maps::addFoundMapFiles(mapFolder, found);
    for (const auto& [index, source] : found) {
        if (source.name != file.stem().string())
            continue;
        const int at = global.mapSources.empty() ? 0 : global.mapSources.rbegin()->first + 1;
        global.mapSources[at] = source;
        global.settings.mapSource = at;
        const fs::path installDir = global.paths.install;
        global.tileRenderers = [installDir](const maps::VectorMapSettings& settings) {
            return vector::makeVectorTileRenderer(settings, installDir);
        };
        return true;
    }
    return false;
}

// Frames, with the window's events between them, until the renderer has
// drawn every tile the view asks for: nothing queued, nothing new cached.
void settle(CMapScreen& map)
{
    auto* renderer = dynamic_cast<vector::VectorTileRenderer*>(map.renderer());
    if (!renderer)
        return;
    std::size_t cached = ~std::size_t{0};
    for (int round = 0; round < 2000; ++round) {
        map.renderFrame();
        QCoreApplication::processEvents();
        if (renderer->queuedTiles() == 0 && renderer->cachedTiles() == cached)
            return;
        cached = renderer->cachedTiles();
        QThread::msleep(15);
    }
}

double peakRssMB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The vector map's rows (see --vector): warm panning frames at both sizes,
// then pans and zooms over the map with every tile drawn, and peak memory.
int vectorFrames(CGlobalData& global, QtNotifier& notifier, geo::LatLon centre, int frames)
{
    std::printf("%-12s %-6s %10s %10s %8s %8s\n", "size", "tiles", "median ms", "p99 ms", "caches", "wpts");
    for (const QSize size : {QSize(480, 800), QSize(1920, 1080)}) {
        CMapScreen map(global, notifier);
        map.resize(size);
        if (!map.provider() || !map.renderer()) {
            std::fprintf(stderr, "map_screen_bench: the vector map does not open\n");
            return 1;
        }
        map.provider()->setZoom(kZoom);
        map.centreOn(centre);
        // Warm: the renderer has drawn every tile of the walk.
        settle(map);
        for (int i = 0; i < 20; ++i) {
            map.panBy((i / 10) % 2 ? -40 : 40, 0);
            settle(map);
        }
        const Stats s = stats(panFrames(map, frames, false));
        std::printf("%-12s %-6s %10.2f %10.2f %8d %8d\n",
                    qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())), "vector", s.median, s.p99,
                    map.shown().cachesDrawn, map.shown().waypointsDrawn);
    }
    // A while on the map: zooming in from 12 to 18 and out again, panning
    // a third of the view in turn to each side at every zoom.
    CMapScreen map(global, notifier);
    map.resize(QSize(1920, 1080));
    map.provider()->setZoom(12);
    map.centreOn(centre);
    settle(map);
    int steps = 0;
    const QPoint pans[] = {{640, 0}, {0, 360}, {-640, 0}, {-640, 0}, {0, -360}, {0, -360}, {640, 0}, {640, 0}};
    for (int round = 0; round < 2; ++round)
        for (int zoom = 12; zoom <= 18; ++zoom) {
            const int at = round == 0 ? zoom : 30 - zoom; // 12..18, then 18..12
            while (map.provider()->zoom() < at)
                map.zoomIn();
            while (map.provider()->zoom() > at)
                map.zoomOut();
            map.centreOn(centre);
            settle(map);
            for (const QPoint by : pans) {
                map.panBy(by.x(), by.y());
                settle(map);
                ++steps;
            }
        }
    auto* renderer = dynamic_cast<vector::VectorTileRenderer*>(map.renderer());
    std::printf("vector memory: peak RSS %.1f MB after %d views at zoom 12 to 18 (renderer keeps %zu of %zu tiles)\n",
                peakRssMB(), steps, renderer ? renderer->cachedTiles() : 0, renderer ? renderer->cacheCapacity() : 0);
    return 0;
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
    bool vector = false;
    fs::path vectorFile, themeFile;
    std::optional<geo::LatLon> centre;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--look" && i + 1 < argc) {
            const std::string name = argv[++i];
            theme = name == "night" ? Theme::Night : name == "contrast" ? Theme::Contrast : Theme::Day;
        } else if (arg == "--dump" && i + 1 < argc) {
            dump = QString::fromLocal8Bit(argv[++i]);
        } else if (arg == "--database" && i + 1 < argc) {
            database = argv[++i];
        } else if (arg == "--vector") {
            vector = true;
            if (i + 1 < argc && argv[i + 1][0] != '-')
                vectorFile = argv[++i];
        } else if (arg == "--theme" && i + 1 < argc) {
            themeFile = fs::absolute(argv[++i]);
        } else if (arg == "--centre" && i + 1 < argc) {
            double lat = 0, lon = 0;
            if (std::sscanf(argv[++i], "%lf,%lf", &lat, &lon) != 2) {
                std::fprintf(stderr, "map_screen_bench: --centre LAT,LON\n");
                return 2;
            }
            centre = geo::LatLon{lat, lon};
        } else {
            frames = std::max(10, std::atoi(argv[i]));
        }
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
    if (vector) {
        if (vectorFile.empty()) {
            vectorFile = root / "demo.map";
            const std::string bytes = mapwriter::encodeMap(demomap::demoMap(demomap::kDemoLat, demomap::kDemoLon).content);
            std::ofstream(vectorFile, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
        if (!centre) {
            const maps::VectorMapExtent extent = maps::readVectorExtent({vectorFile});
            if (!extent.start) {
                std::fprintf(stderr, "map_screen_bench: %s is no vector map\n", vectorFile.c_str());
                return 1;
            }
            centre = extent.start;
        }
    }
    const geo::LatLon home = centre.value_or(kPrague);
    if (!database.empty())
        global.settings.dbFile = database;
    else
        fs::copy_file(p.install / "emptydb.db3", global.settings.dbFile);
    global.db.cacheDb.OpenFile(global.settings.dbFile);
    global.db.InitTagCategories();
    global.settings.homeLat = home.lat;
    global.settings.homeLon = home.lon;
    global.settings.maxRows = 1000;
    global.settings.showWpts = 2;
    global.list.filter.refPoint = 3;
    global.list.filter.owned = 2;
    global.list.filter.found = 2;
    if (vector) {
        if (!chooseVectorMap(global, vectorFile)) {
            std::fprintf(stderr, "map_screen_bench: %s is not found as a map\n", vectorFile.c_str());
            return 1;
        }
        global.settings.mapTheme = themeFile.string();
    } else {
        makeTiles(p.data, global.mapSources[0], home);
    }
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
        const geo::LatLon at = geo::projectPoint(home, km(random), bearing(random));
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
        const geo::LatLon at = geo::projectPoint(home, 0.002 * i, 45.0 + 60.0 * std::sin(i / 40.0));
        global.gpsServices.trackLogger->appendTrack(at.lat, at.lon, 250, 1, 8, 4);
        route.push_back(geo::projectPoint(home, 0.002 * i, 225.0));
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
    if (vector)
        return vectorFrames(global, notifier, home, frames);
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

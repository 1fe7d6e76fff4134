// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/screens/ScreenWorld.h"

#include "app/WaypointEditing.h"
#include "db/CacheStore.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "gps/ProximityAlert.h"
#include "screens/MainWindow.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

#include <fstream>

namespace fs = std::filesystem;

namespace tw::test {
namespace {

// The simulator source's tiles lie in this folder (or database) of the map folder.
constexpr const char* kSimulatorTiles = "grid";

Paths pathsUnder(const fs::path& root, bool ownInstall)
{
    Paths p;
    p.config = root / "config";
    p.data = root / "data";
    p.documents = root / "docs";
    p.install = ownInstall ? root / "install" : fs::path(TARNWICK_RUNTIME_DIR);
    return p;
}

} // namespace

void HoldingPrompter::message(const std::string& text, MessageIcon icon)
{
    m_record.message(text, icon);
    std::unique_lock lock(m_mutex);
    if (!m_hold)
        return;
    m_holding = true;
    m_changed.notify_all();
    m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return !m_hold; });
    m_holding = false;
}

void HoldingPrompter::hold(bool on)
{
    std::lock_guard lock(m_mutex);
    m_hold = on;
    m_changed.notify_all();
}

bool HoldingPrompter::holding() const
{
    std::lock_guard lock(m_mutex);
    return m_holding;
}

ScreenWorld::ScreenWorld() : ScreenWorld(Options{}) {}

ScreenWorld::ScreenWorld(Options o) : options(o), paths(pathsUnder(dir.path().toStdString(), o.ownInstall))
{
    fs::create_directories(paths.data);
    if (options.ownInstall) {
        fs::create_directories(paths.install / "sounds");
        for (const char* name : {"lang.en", "lang.cs", "emptydb.db3", "map-config.xml"})
            fs::copy_file(fs::path(TARNWICK_RUNTIME_DIR) / name, paths.install / name);
        for (const char* name : {"chime.wav", "horn.wav"})
            std::ofstream(paths.install / "sounds" / name) << "RIFF";
    }
    restart();
}

ScreenWorld::~ScreenWorld()
{
    global.reset();
}

CGlobalData& ScreenWorld::restart()
{
    global.reset();
    global = std::make_unique<CGlobalData>(paths, Services{prompter, notifier, keepAwake});
    global->settings.language = "en";
    global->LoadSettings(options.settingsGroups);
    if (global->settings.homeLat == 0 && global->settings.homeLon == 0) {
        global->settings.homeLat = options.home.lat;
        global->settings.homeLon = options.home.lon;
    }
    if (options.fromHome)
        global->list.filter.refPoint = 3;
    if (options.everyCache) {
        global->list.filter.owned = 2;
        global->list.filter.found = 2;
    }
    if (options.ownMapFolder)
        global->settings.mapFolder = mapFolder().string();
    if (options.ownInstall)
        maps::loadMapConfigs(paths.install, global->settings.language, paths.data, global->mapSources);

    if (options.cacheDb) {
        if (!fs::exists(global->settings.dbFile))
            fs::copy_file(global->templatePath(), global->settings.dbFile);
        global->db.cacheDb.OpenFile(global->settings.dbFile);
        global->db.InitTagCategories();
        if (options.dummyCache)
            global->db.LoadDummyCache();
    }
    if (options.recordTrack) {
        global->settings.saveTrackLog = 1;
        global->settings.maxTrackBuffer = 30;
        fs::create_directories(global->trackDbPath().parent_path());
        global->db.trackDb.OpenFile(global->trackDbPath().string());
        global->gpsServices.applyGpsSettings();
        global->gpsServices.trackLogger->setClock([this] { return clock; });
        global->gpsServices.trackLogger->openTrackLog();
        global->gpsServices.proximityAlert->setSoundPlayer(&sound);
    }
    return *global;
}

CGeocache ScreenWorld::cache(const std::string& code, double km, double bearingDeg) const
{
    CGeocache c;
    c.code = code;
    c.name = "Cache " + code;
    const geo::LatLon at = geo::projectPoint(options.home, km, bearingDeg);
    c.lat = at.lat;
    c.lon = at.lon;
    c.type = CacheType::Traditional;
    return c;
}

bool ScreenWorld::store(CGeocache& cache)
{
    return CacheStore(global->db.cacheDb, global->db.tagCategories).InsertCache(cache);
}

bool ScreenWorld::store(CWaypoint& waypoint)
{
    return CacheStore(global->db.cacheDb, global->db.tagCategories).InsertWaypoint(waypoint);
}

void ScreenWorld::addCache(const std::string& code, double km, double bearingDeg, int stages)
{
    CGeocache c = cache(code, km, bearingDeg);
    store(c);
    for (int i = 1; i <= stages; ++i) {
        CWaypoint w = newWaypointFor(*global, code);
        w.name = "Stage " + std::to_string(i);
        const geo::LatLon at = geo::projectPoint({c.lat, c.lon}, 0.08 * i, 90.0);
        w.lat = at.lat;
        w.lon = at.lon;
        storeWaypoint(*global, w);
    }
}

fs::path ScreenWorld::mapFolder() const
{
    return options.ownMapFolder ? root() / "maps" : paths.data;
}

void ScreenWorld::goOnline(std::optional<std::chrono::seconds> timeout)
{
    global->settings.dnlOnline = 1;
    global->netClient.setConnectionProbe([] { return true; });
    global->netClient.setDownloadRoot(mapFolder());
    global->netClient.setDownloadsOn(true);
    if (timeout)
        global->netClient.setTimeouts(*timeout, *timeout);
}

void ScreenWorld::mapFromSimulator(int port, const std::string& urlPath, const std::string& storage)
{
    maps::MapSource& source = global->mapSources[0];
    source.type = "Google";
    source.name = "Simulator";
    source.storage = storage;
    maps::MapType type;
    type.mode = "basic";
    type.name = "Grid";
    type.file = kSimulatorTiles;
    type.url = "http://127.0.0.1:" + std::to_string(port) + urlPath;
    type.defaultZoom = 14;
    type.maxZoom = 18;
    type.maxAvailZoom = 16;
    source.basic.push_back(type);
    goOnline();
}

std::unique_ptr<maps::TileProvider> ScreenWorld::tileProvider() const
{
    maps::TileProvider::Options o;
    o.mapFolder = mapFolder();
    o.centre = options.home;
    return maps::makeTileProvider(global->mapSources[0], o);
}

void ScreenWorld::makeTiles()
{
    const auto provider = tileProvider();
    const maps::WorldPoint c = provider->centreWorld();
    QImage image(256, 256, QImage::Format_RGB32);
    for (int i = -4; i <= 4; ++i)
        for (int j = -4; j <= 4; ++j) {
            image.fill(QColor(230, 225, 210));
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            for (int k = 0; k < 12; ++k) {
                p.setPen(QPen(QColor::fromHsv((i * 40 + j * 90 + k * 20 + 720) % 360, 160, 200), 1 + k % 4));
                p.drawLine((k * 37 + i * 11) & 255, (k * 71) & 255, (k * 53 + j * 7) & 255, (k * 29 + 100) & 255);
            }
            p.end();
            fs::path path = provider->tilePath(provider->offsetByTiles(c, i, j), 0);
            path.replace_extension(".png");
            fs::create_directories(path.parent_path());
            QVERIFY(image.save(QString::fromStdString(path.string()), "PNG"));
        }
}

int ScreenWorld::tileFiles(const std::string& ending) const
{
    const fs::path folder = mapFolder() / kSimulatorTiles;
    int n = 0;
    if (!fs::exists(folder))
        return n;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        n += e.is_regular_file() && e.path().string().ends_with(ending) ? 1 : 0;
    return n;
}

std::unique_ptr<MainWindow> ScreenWorld::openWindow(QSize size)
{
    auto window = std::make_unique<MainWindow>(*global, notifier);
    if (size.isValid())
        window->resize(size);
    window->show();
    return window;
}

} // namespace tw::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The map with a recorded track, a route, the GPS position heading to a
// target, and the map tile download. Tiles come from tarnwick-sim when it is
// built beside the tour, otherwise from a folder of tiles drawn here.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "app/SheetContent.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "maps/MercatorTileProvider.h"
#include "screens/CMapDnlDlg.h"
#include "screens/CMapScreen.h"
#include "screens/CacheSheet.h"
#include "screens/DialogPlacement.h"
#include "screens/MainWindow.h"
#include "screens/MapPicture.h"
#include "screens/vector/VectorTileRenderer.h"
#include "tools/demomap/DemoMap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr geo::LatLon kWalkStart{50.0905, 14.4105};

// The simulator on a free port, ended with the tour; 0 when it is missing.
int simPort()
{
    static int port = -1;
    if (port >= 0)
        return port;
    port = 0;
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick-sim");
    if (!QFile::exists(program))
        return port;
    auto* sim = new QProcess(QCoreApplication::instance());
    sim->start(program, {QStringLiteral("--port"), QStringLiteral("0")});
    QElapsedTimer t;
    t.start();
    QByteArray line;
    while (!line.contains('\n') && t.elapsed() < 5000 && sim->waitForReadyRead(500))
        line += sim->readAllStandardOutput();
    if (line.startsWith("listening on "))
        port = line.mid(13).trimmed().toInt();
    return port;
}

// A tile that reads like a map: meadows, woods, a river, roads and paths.
void drawLandTile(QImage& image, int column, int row)
{
    QRandomGenerator random(static_cast<quint32>(column * 7919 + row * 104729));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), QColor(238, 240, 228));
    for (int i = 0; i < 5; ++i)
        p.fillRect(random.bounded(220), random.bounded(220), 30 + random.bounded(90), 30 + random.bounded(90),
                   i % 2 ? QColor(196, 224, 176) : QColor(172, 208, 158));
    p.setPen(QPen(QColor(150, 190, 230), 10, Qt::SolidLine, Qt::RoundCap));
    if (row % 3 == 0)
        p.drawLine(0, 40 + column % 5 * 30, 256, 70 + column % 4 * 30);
    p.setPen(QPen(QColor(250, 250, 250), 7, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(0, 128, 256, 128);
    p.drawLine(96, 0, 96, 256);
    p.setPen(QPen(QColor(200, 120, 80), 2, Qt::DashLine));
    p.drawLine(random.bounded(256), 0, random.bounded(256), 256);
}

// Tiles drawn around the sample area into a folder store.
void drawTileFolder(const fs::path& mapFolder, maps::MapSource& source)
{
    source.type = "Google";
    source.name = "Tour tiles";
    maps::MapType type;
    type.mode = "basic";
    type.name = "Land";
    type.file = "tour-land";
    type.url = "http://127.0.0.1:9/{z}/{x}/{y}.png";
    type.minZoom = 10;
    type.maxZoom = 16;
    type.maxAvailZoom = 16;
    source.basic.push_back(type);
    maps::TileProvider::Options o;
    o.mapFolder = mapFolder;
    o.centre = kWalkStart;
    maps::MercatorTileProvider provider(source, o);
    QImage image(256, 256, QImage::Format_RGB32);
    for (int zoom = 12; zoom <= 14; ++zoom) {
        provider.setZoom(zoom);
        const maps::WorldPoint centre = provider.centreWorld();
        for (int i = -4; i <= 4; ++i)
            for (int j = -4; j <= 4; ++j) {
                const maps::WorldPoint tile = provider.offsetByTiles(centre, i, j);
                fs::path path = provider.tilePath(tile, 0);
                path.replace_extension(".png");
                fs::create_directories(path.parent_path());
                drawLandTile(image, provider.tileColumn(tile), provider.tileRow(tile));
                image.save(QString::fromStdString(path.string()));
            }
    }
}

} // namespace

void prepareMaps(CGlobalData& global)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const fs::path mapFolder = global.paths.deviceFolder(global.settings.mapFolder);
    global.mapSources.clear();
    if (const int port = simPort()) {
        QFile file(QString::fromStdString((global.GetInstallDir() / "sim-map-config.xml").string()));
        if (file.open(QIODevice::ReadOnly)) {
            QByteArray text = file.readAll();
            text.replace("127.0.0.1:8765", "127.0.0.1:" + QByteArray::number(port));
            const fs::path local = mapFolder / "sim-map-config.xml";
            QFile out(QString::fromStdString(local.string()));
            if (out.open(QIODevice::WriteOnly))
                out.write(text);
            out.close();
            maps::readMapConfig(local, global.mapSources);
        }
        global.netClient.setConnectionProbe([] { return true; });
        global.netClient.setDownloadRoot(mapFolder);
        global.netClient.setDownloadsOn(true);
        global.settings.dnlOnline = 1;
    }
    if (global.mapSources.empty())
        drawTileFolder(mapFolder, global.mapSources[0]);
    global.settings.mapSource = 0;
    global.settings.mapType = 0;

    // A walk recorded along the way, and a route home.
    if (global.db.trackDb.OpenFile(global.trackDbPath().string()) == 0) {
        std::time_t clock = 1700000000;
        global.gpsServices.trackLogger->setClock([&clock] { return clock; });
        global.gpsServices.trackLogger->setRecording(true);
        global.gpsServices.trackLogger->openTrackLog();
        for (int i = 0; i < 80; ++i) {
            clock += 5;
            const geo::LatLon p = geo::projectPoint(kWalkStart, 0.03 * i, 120.0 + 40.0 * std::sin(i / 9.0));
            global.gpsServices.trackLogger->appendTrack(p.lat, p.lon, 250.0, 1.0, 8, 4.5);
        }
        global.gpsServices.trackLogger->setClock([] { return std::time(nullptr); });
    }
    auto& home = global.gpsServices.trackLogger->route.emplace_back();
    for (int i = 0; i <= 40; ++i)
        home.push_back(
            geo::projectPoint({50.0875, 14.4213}, 0.05 * i, 300.0 + 20.0 * std::cos(i / 6.0)));
}

namespace {

// Hills and a valley as an elevation square of 3″ samples under the walk.
fs::path writeReliefSquare(const fs::path& folder)
{
    const int lat = static_cast<int>(std::floor(kWalkStart.lat)), lon = static_cast<int>(std::floor(kWalkStart.lon));
    const fs::path file = folder / QStringLiteral("N%1E%2.hgt").arg(lat, 2, 10, QLatin1Char('0')).arg(lon, 3, 10, QLatin1Char('0')).toStdString();
    if (fs::exists(file))
        return folder;
    struct Hill {
        double lat, lon, height, radiusDeg;
    };
    const Hill hills[] = {{kWalkStart.lat + 0.008, kWalkStart.lon + 0.020, 260, 0.008},
                          {kWalkStart.lat - 0.012, kWalkStart.lon - 0.006, 200, 0.006},
                          {kWalkStart.lat + 0.002, kWalkStart.lon - 0.030, 320, 0.010},
                          {kWalkStart.lat - 0.003, kWalkStart.lon + 0.004, -120, 0.003}};
    constexpr int n = 1201;
    QByteArray bytes;
    bytes.reserve(n * n * 2);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) {
            const double la = lat + 1 - double(r) / (n - 1), lo = lon + double(c) / (n - 1);
            double h = 250;
            for (const Hill& hill : hills) {
                const double dy = (la - hill.lat) / hill.radiusDeg, dx = (lo - hill.lon) * 0.64 / hill.radiusDeg;
                h += hill.height * std::exp(-(dx * dx + dy * dy));
            }
            const auto v = static_cast<quint16>(static_cast<qint16>(std::lround(h)));
            bytes.append(static_cast<char>(v >> 8));
            bytes.append(static_cast<char>(v & 0xFF));
        }
    fs::create_directories(folder);
    QFile out(QString::fromStdString(file.string()));
    if (out.open(QIODevice::WriteOnly))
        out.write(bytes);
    return folder;
}

// The receiver reports a fix heading south-east.
void feedPosition(CGlobalData& global, geo::LatLon at, double courseDeg)
{
    const auto nmea = [](double value, int degreeDigits) {
        const double a = std::fabs(value);
        const int d = static_cast<int>(a);
        return QStringLiteral("%1%2").arg(d, degreeDigits, 10, QLatin1Char('0')).arg((a - d) * 60.0, 6, 'f', 3, QLatin1Char('0'));
    };
    const QString lat = nmea(at.lat, 2) + (at.lat >= 0 ? QStringLiteral(",N") : QStringLiteral(",S"));
    const QString lon = nmea(at.lon, 3) + (at.lon >= 0 ? QStringLiteral(",E") : QStringLiteral(",W"));
    global.gpsServices.gps->dispatchLine(
        QStringLiteral("$GPRMC,101500,A,%1,%2,2.4,%3,150624,,").arg(lat, lon).arg(courseDeg, 0, 'f', 1).toStdString());
    global.gpsServices.gps->dispatchLine(
        QStringLiteral("$GPGGA,101500,%1,%2,1,08,1.0,250.0,M,,M,,").arg(lat, lon).toStdString());
}

// Waits until the download queue has nothing left, at most a few seconds.
void waitForTiles(CGlobalData& global)
{
    QElapsedTimer t;
    t.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    while ((global.netClient.running() || global.netClient.queued() > 0) && t.elapsed() < 8000);
}

CMapScreen* openMap(TourContext& t, int zoom)
{
    prepareMaps(t.global);
    CMapScreen* map = openMapScreen(t.window, t.global);
    if (!map->provider())
        return map;
    map->provider()->setZoom(zoom);
    map->centreOn(geo::projectPoint(kWalkStart, 1.2, 130.0));
    const geo::LatLon target = geo::projectPoint(kWalkStart, 2.2, 110.0);
    map->setTargetSource([target] { return std::optional<geo::LatLon>(target); });
    feedPosition(t.global, geo::projectPoint(kWalkStart, 0.03 * 79, 120.0 + 40.0 * std::sin(79 / 9.0)), 125.0);
    for (int round = 0; round < 3; ++round) {
        map->repaint();
        waitForTiles(t.global);
        map->invalidateTiles();
    }
    return map;
}

// The made-up vector map of the walk's area, written into the map folder,
// as the current source.
void chooseVectorMap(CGlobalData& global)
{
    const fs::path mapFolder = global.paths.deviceFolder(global.settings.mapFolder);
    const fs::path file = mapFolder / "demo.map";
    if (!fs::exists(file)) {
        const std::string bytes = mapwriter::encodeMap(demomap::demoMap(kWalkStart.lat, kWalkStart.lon).content);
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    maps::MapSources found;
    maps::addFoundMapFiles(mapFolder, found);
    for (const auto& [index, source] : found) {
        if (source.name != "demo")
            continue;
        const int at = global.mapSources.empty() ? 0 : global.mapSources.rbegin()->first + 1;
        global.mapSources[at] = source;
        global.settings.mapSource = at;
    }
    const fs::path installDir = global.paths.install;
    global.tileRenderers = [installDir](const maps::VectorMapSettings& settings) {
        return vector::makeVectorTileRenderer(settings, installDir);
    };
}

// Lets the renderer's worker draw the view, repainting as its tiles come.
void waitForVectorTiles(CMapScreen& map)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        map.repaint();
    }
}

// The window's menu as the Menu key opens it over the map and, in the wide
// layout, its menu of the panes opened beside it: one picture of both.
QWidget* menuPicture(TourContext& t)
{
    QMenu menu;
    t.window.fillMenu(menu);
    QList<QMenu*> menus{&menu};
    const QString panes = QString::fromStdString(t.global.text(1401));
    for (QAction* a : menu.actions())
        if (a->menu() && a->text() == panes)
            menus << a->menu();
    QList<QPixmap> shots;
    QSize size;
    for (QMenu* m : menus) {
        m->ensurePolished();
        m->resize(m->sizeHint());
        shots << m->grab();
        size = QSize(size.width() + shots.back().width(), std::max(size.height(), shots.back().height()));
    }
    QPixmap both(size);
    both.fill(t.window.palette().color(QPalette::Window));
    QPainter p(&both);
    int x = 0;
    for (const QPixmap& shot : shots) {
        p.drawPixmap(x, 0, shot);
        x += shot.width();
    }
    p.end();
    auto* label = new QLabel;
    label->setPixmap(both);
    label->resize(size);
    return label;
}

} // namespace

void addMapStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("map"), [](TourContext& t) -> QWidget* {
                         openMap(t, 13);
                         return &t.window;
                     }});
    stops.push_back({QStringLiteral("map-menu"), [](TourContext& t) -> QWidget* {
                         openMap(t, 13);
                         return menuPicture(t);
                     }});
    stops.push_back({QStringLiteral("map-relief"), [](TourContext& t) -> QWidget* {
                         const fs::path folder = t.global.paths.deviceFolder(t.global.settings.mapFolder) / "elevation";
                         t.global.settings.elevationFolder = writeReliefSquare(folder).string();
                         openMap(t, 13);
                         t.global.settings.elevationFolder.clear();
                         return &t.window;
                     }});
    stops.push_back({QStringLiteral("map-vector"), [](TourContext& t) -> QWidget* {
                         prepareMaps(t.global);
                         const int previous = t.global.settings.mapSource;
                         chooseVectorMap(t.global);
                         CMapScreen* map = openMap(t, 15);
                         // The wide window's map pane was open before the
                         // vector map came: it is chosen there as in the Map menu.
                         const int vector = t.global.settings.mapSource;
                         t.global.settings.mapSource = previous;
                         map->selectSource(vector);
                         if (map->provider()) {
                             map->provider()->setZoom(15);
                             map->centreOn(geo::projectPoint(kWalkStart, 1.2, 130.0));
                         }
                         waitForVectorTiles(*map);
                         t.global.settings.mapSource = previous;
                         return &t.window;
                     }});
    // The first page of the listing sample's printed sheet, with its map
    // from the vector map, drawn by the sheet's own painter on an A4 image.
    stops.push_back({QStringLiteral("cache-sheet"), [](TourContext& t) -> QWidget* {
                         prepareMaps(t.global);
                         const int previous = t.global.settings.mapSource;
                         chooseVectorMap(t.global);
                         addListingSample(t.global);
                         const auto content = sheet::loadContent(t.global, kListingSampleCode);
                         if (!content)
                             return nullptr;
                         const QSizeF a4(210, 297);
                         constexpr int kDpi = 100;
                         QImage page(QSize(qRound(a4.width() / 25.4 * kDpi), qRound(a4.height() / 25.4 * kDpi)),
                                     QImage::Format_RGB32);
                         page.setDotsPerMeterX(qRound(kDpi / 0.0254));
                         page.setDotsPerMeterY(qRound(kDpi / 0.0254));
                         page.fill(Qt::white);
                         MapSnapshot map(t.global, {}, t.global.prompter, content->at);
                         const SheetMap sheetMap = sheetMapOf(map, *content, CacheSheet::mapSizePx(a4, 120));
                         const CacheSheet laidOut(*content, sheetMap, page, a4);
                         QPainter painter(&page);
                         laidOut.paintPage(painter, 0);
                         painter.end();
                         t.global.settings.mapSource = previous;
                         auto* shown = new QLabel;
                         shown->setPixmap(QPixmap::fromImage(page));
                         shown->resize(page.size());
                         return shown;
                     }});
    stops.push_back({QStringLiteral("map-download"), [](TourContext& t) -> QWidget* {
                         CMapScreen* map = openMap(t, 13);
                         if (!map->provider())
                             return &t.window;
                         auto* dialog = new CMapDnlDlg(t.global, t.notifier, *map->provider(), &t.window);
                         dialog->setVisibleArea(map->latLonAt({0, 0}), map->latLonAt({map->width() - 1, map->height() - 1}));
                         dialog->setVisibleAreaChosen(true);
                         dialog->setZoomChosen(14, true);
                         dialog->start();
                         waitForTiles(t.global);
                         placeDialog(*dialog, &t.window);
                         dialog->show();
                         return dialog;
                     }});
}

} // namespace tw

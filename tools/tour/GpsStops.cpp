// SPDX-License-Identifier: GPL-3.0-or-later
// The GPS screen's pages, the navigation view, the track manager and the
// track export dialog, over a receiver fed with generated sentences and a
// track database with two recorded walks.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "gps/NmeaWalk.h"
#include "platform/Numbers.h"
#include "screens/CExportTrackDlg.h"
#include "screens/CGpsScr.h"
#include "screens/CTrackManager.h"
#include "screens/DialogPlacement.h"
#include "screens/MainWindow.h"
#include "screens/MovingMenu.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>

namespace tw {
namespace {

using nmea::withChecksum;

// One second of a receiver at the position: GGA, GSA, a three-part GSV
// with eleven satellites and RMC.
void feedSecond(GpsReceiver& gps, geo::LatLon at, int second, double courseDeg)
{
    char time[16];
    std::snprintf(time, sizeof time, "0930%02d.00", second % 60);
    const std::string lat = nmea::coordinate(at.lat, false), lon = nmea::coordinate(at.lon, true);
    gps.dispatchLine(withChecksum("GPGGA," + std::string(time) + "," + lat + "," + lon + ",1,08,0.9,262.4,M,45.1,M,,"));
    gps.dispatchLine(withChecksum("GPGSA,A,3,02,05,07,13,15,18,24,29,,,,,1.6,0.9,1.3"));
    gps.dispatchLine(withChecksum("GPGSV,3,1,11,02,74,112,44,05,51,284,40,07,33,052,38,13,18,145,31"));
    gps.dispatchLine(withChecksum("GPGSV,3,2,11,15,62,201,42,18,09,322,24,24,40,098,36,29,22,250,33"));
    gps.dispatchLine(withChecksum("GPGSV,3,3,11,20,05,010,14,26,12,190,,30,28,330,19"));
    gps.dispatchLine(withChecksum("GPRMC," + std::string(time) + ",A," + lat + "," + lon + ",2.4," +
                                  num::formatFixed(courseDeg, 1) + ",150624,,,A"));
}

// Once: the track database with two walks, the receiver near home and a
// run of averaging samples.
void prepareGps(CGlobalData& global)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const geo::LatLon home{global.settings.homeLat, global.settings.homeLon};
    CTrackLogger& logger = *global.gpsServices.trackLogger;
    // The first walk two days ago, the second ending a few minutes ago.
    std::time_t clock = std::time(nullptr) - 2 * 86400;
    logger.setClock([&clock] { return clock; });
    if (!global.db.trackDb.opened()) {
        std::error_code ec;
        std::filesystem::create_directories(global.trackDbPath().parent_path(), ec);
        global.db.trackDb.OpenFile(global.trackDbPath().string());
        global.settings.saveTrackLog = 1;
        global.gpsServices.applyGpsSettings();
        global.gpsServices.trackLogger->openTrackLog();
    }
    logger.setRecording(true);
    auto walk = [&](double startBearing, int points) {
        geo::LatLon p = home;
        for (int i = 0; i < points; ++i) {
            clock += 40;
            p = geo::projectPoint(p, 0.06, startBearing + 25 * std::sin(i / 4.0));
            logger.appendTrack(p.lat, p.lon, 240 + 30 * std::sin(i / 6.0) + i * 0.8, 1.1, 8, 4.5 + i % 3);
        }
    };
    walk(60, 40);
    logger.renameTrack(logger.currentTrackId(), "Around the old town");
    clock = std::time(nullptr) - 25 * 40 - 300;
    logger.newTrack();
    walk(200, 25);
    logger.flushBuffer();
    logger.setClock([] { return std::time(nullptr); });

    // The receiver: a few seconds near home, heading north-east.
    for (int s = 0; s < 3; ++s)
        feedSecond(*global.gpsServices.gps, geo::projectPoint(home, 0.002 * s, 45), s, 38.5);
    PositionAveraging& avg = logger.averaging;
    avg.start();
    for (int i = 0; i < 60; ++i)
        avg.sample(geo::projectPoint(home, 0.006 * std::abs(std::sin(i * 1.7)) + 0.0005, i * 47.0), 8);
    avg.stop();
    global.settings.trackFile = (global.paths.documents / "tracks").string();
    global.settings.trackGPX = 1;
    global.settings.trackKML = 1;
}

QWidget* gpsPage(TourContext& t, CGpsScr::Page page)
{
    prepareGps(t.global);
    openGpsScreen(t.window, t.global);
    if (auto* screen = qobject_cast<CGpsScr*>(t.window.topScreen()))
        screen->showPage(page);
    return &t.window;
}

} // namespace

void addGpsStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("gps-monitor"), [](TourContext& t) { return gpsPage(t, CGpsScr::Monitor); }});
    stops.push_back({QStringLiteral("gps-averaging"), [](TourContext& t) { return gpsPage(t, CGpsScr::Averaging); }});
    stops.push_back({QStringLiteral("gps-trip"), [](TourContext& t) { return gpsPage(t, CGpsScr::Trip); }});
    stops.push_back({QStringLiteral("navigation"), [](TourContext& t) -> QWidget* {
        prepareGps(t.global);
        const geo::LatLon home{t.global.settings.homeLat, t.global.settings.homeLon};
        const geo::LatLon cache = geo::projectPoint(home, 0.145, 110);
        navigateTo(t.window, t.global, {"Under the Charles Bridge", "GC4TWK", cache.lat, cache.lon});
        return &t.window;
    }});
    stops.push_back({QStringLiteral("track-manager"), [](TourContext& t) -> QWidget* {
        prepareGps(t.global);
        auto* dialog = new CTrackManager(t.global, &t.window);
        placeDialog(*dialog, &t.window);
        dialog->show();
        return dialog;
    }});
    stops.push_back({QStringLiteral("track-export"), [](TourContext& t) -> QWidget* {
        prepareGps(t.global);
        auto* dialog = new CExportTrackDlg(t.global, &t.window);
        placeDialog(*dialog, &t.window);
        dialog->show();
        return dialog;
    }});
}

} // namespace tw

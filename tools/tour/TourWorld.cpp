// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tour/TourWorld.h"

#include "platform/Paths.h"
#include "screens/MainWindow.h"
#include "tools/tour/SampleWorld.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>

namespace fs = std::filesystem;

namespace tw {

TourWorld::TourWorld(const fs::path& installDir)
{
    Paths paths;
    paths.config = fs::path(dir.path().toStdString()) / "config";
    paths.data = fs::path(dir.path().toStdString()) / "data";
    paths.documents = fs::path(dir.path().toStdString()) / "docs";
    paths.install = installDir;
    fs::create_directories(paths.data);
    fs::create_directories(paths.config);

    global = std::make_unique<CGlobalData>(paths, Services{prompter, notifier, keepAwake}, 480, 800);
    CGlobalData& g = *global;
    // TARNWICK_TOUR_LANGUAGE=cs photographs the screens in Czech.
    const char* language = std::getenv("TARNWICK_TOUR_LANGUAGE");
    g.settings.language = language && *language ? language : "en";
    g.LoadSettings(0xff);
    g.settings.homeLat = 50.0875;
    g.settings.homeLon = 14.4213;
    g.settings.mapFolder = (paths.data / "maps").string();
    fs::create_directories(g.settings.mapFolder);
    fs::copy_file(paths.install / "emptydb.db3", g.settings.dbFile, fs::copy_options::overwrite_existing);
    if (g.db.cacheDb.OpenFile(g.settings.dbFile) != 0) {
        std::fputs("tarnwick-tour: the sample database cannot be opened\n", stderr);
        return;
    }
    g.db.InitTagCategories();
    g.db.LoadDummyCache();
    g.list.filter.refPoint = 3; // from home
    fillSampleDatabase(g);
    m_ready = true;
}

std::vector<TourStop> tourStops()
{
    std::vector<TourStop> stops;
    addListStops(stops);
    addWaypointStops(stops);
    addListingStops(stops);
    addVisitStops(stops);
    addFilterStops(stops);
    addOptionsStops(stops);
    addGpsStops(stops);
    addMapStops(stops);
    addOnlineStops(stops);
    addLoginStops(stops);
    addFirstStartStops(stops);
    return stops;
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    while (t.elapsed() < ms);
}

void visitStop(const TourStop& stop, TourContext& context, const std::function<void(QWidget*)>& look)
{
    QWidget* shown = stop.open(context);
    settle(150);
    look(shown);
    if (stop.close)
        stop.close(context);
    if (shown && shown != &context.window) {
        if (auto* dialog = qobject_cast<QDialog*>(shown))
            dialog->reject();
        delete shown;
    }
    context.window.popToRoot();
    settle(50);
}

QStringList themedStopNames()
{
    return {QStringLiteral("list"),          QStringLiteral("cache-description"), QStringLiteral("cache-logs"),
            QStringLiteral("map"),           QStringLiteral("map-vector"),        QStringLiteral("options-general"),
            QStringLiteral("navigation"),    QStringLiteral("filter-properties"), QStringLiteral("map-menu")};
}

} // namespace tw

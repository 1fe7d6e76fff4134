// SPDX-License-Identifier: GPL-3.0-or-later
// The screen tour: opens every screen of the program on a generated sample
// database and writes one PNG per screen, at 480×800 into OUTDIR and at
// 1024×768 into OUTDIR/wide. Runs on any Qt platform (offscreen in CI).
#include "app/CGlobalData.h"
#include "platform/Paths.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingPrompter.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "tools/tour/SampleWorld.h"
#include "tools/tour/TourStops.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    do
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    while (t.elapsed() < ms);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: tarnwick-tour OUTDIR [NAME...]\n", stderr);
        return 2;
    }
    const fs::path out = argv[1];
    const QStringList only = app.arguments().mid(2);

    QTemporaryDir dir;
    tw::Paths paths;
    paths.config = fs::path(dir.path().toStdString()) / "config";
    paths.data = fs::path(dir.path().toStdString()) / "data";
    paths.documents = fs::path(dir.path().toStdString()) / "docs";
    paths.install = tw::currentExecutable(argv[0]).parent_path();
    fs::create_directories(paths.data);
    fs::create_directories(paths.config);

    tw::RecordingPrompter prompter;
    tw::QtNotifier notifier;
    tw::RecordingKeepAwake keepAwake;
    tw::CGlobalData global(paths, {prompter, notifier, keepAwake}, 480, 800);
    // TARNWICK_TOUR_LANGUAGE=cs photographs the screens in Czech.
    const char* language = std::getenv("TARNWICK_TOUR_LANGUAGE");
    global.settings.language = language && *language ? language : "en";
    global.LoadSettings(0xff);
    global.settings.homeLat = 50.0875;
    global.settings.homeLon = 14.4213;
    global.settings.mapFolder = (paths.data / "maps").string();
    fs::create_directories(global.settings.mapFolder);
    fs::copy_file(paths.install / "emptydb.db3", global.settings.dbFile, fs::copy_options::overwrite_existing);
    if (global.db.cacheDb.OpenFile(global.settings.dbFile) != 0) {
        std::fputs("tarnwick-tour: the sample database cannot be opened\n", stderr);
        return 1;
    }
    global.db.InitTagCategories();
    global.db.LoadDummyCache();
    global.list.filter.refPoint = 3; // from home
    tw::fillSampleDatabase(global);

    std::vector<tw::TourStop> stops;
    tw::addListStops(stops);
    tw::addWaypointStops(stops);
    tw::addListingStops(stops);
    tw::addVisitStops(stops);
    tw::addFilterStops(stops);
    tw::addOptionsStops(stops);
    tw::addGpsStops(stops);
    tw::addMapStops(stops);
    tw::addOnlineStops(stops);
    tw::addLoginStops(stops);
    tw::addFirstStartStops(stops);

    int written = 0;
    int failed = 0;
    for (const auto& [subdir, size] : {std::pair{fs::path(), QSize(480, 800)}, std::pair{fs::path("wide"), QSize(1024, 768)}}) {
        const fs::path folder = out / subdir;
        fs::create_directories(folder);
        auto window = std::make_unique<tw::MainWindow>(global, notifier);
        window->resize(size);
        window->show();
        settle(200);
        tw::TourContext context{global, *window, notifier};
        for (const tw::TourStop& stop : stops) {
            if (!only.isEmpty() && !only.contains(stop.name))
                continue;
            QWidget* shown = stop.open(context);
            settle(150);
            const fs::path file = folder / (stop.name.toStdString() + ".png");
            if (!shown || !shown->grab().save(QString::fromStdString(file.string()))) {
                std::fprintf(stderr, "tarnwick-tour: %s could not be photographed\n", qPrintable(stop.name));
                ++failed;
            } else {
                ++written;
            }
            if (stop.close)
                stop.close(context);
            if (shown && shown != window.get()) {
                if (auto* dialog = qobject_cast<QDialog*>(shown))
                    dialog->reject();
                delete shown;
            }
            window->popToRoot();
            settle(50);
        }
    }
    std::printf("tarnwick-tour: %d pictures written to %s\n", written, out.c_str());
    return failed ? 1 : 0;
}

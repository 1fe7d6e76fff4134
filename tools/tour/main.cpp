// SPDX-License-Identifier: GPL-3.0-or-later
// The screen tour: opens every screen of the program on a generated sample
// database and writes one PNG per screen, at 480×800 into OUTDIR and at
// 1024×768 into OUTDIR/wide; the side-by-side layout of a desk's window goes
// into OUTDIR/desk-1280x800 and OUTDIR/desk-1920x1080. Runs on any Qt
// platform (offscreen in CI).
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
#include <vector>

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

    std::vector<tw::TourStop> deskStops;
    tw::addDeskStops(deskStops);

    int written = 0;
    int failed = 0;
    const auto photograph = [&](const fs::path& folder, QSize size, const std::vector<tw::TourStop>& shots) {
        fs::create_directories(folder);
        auto window = std::make_unique<tw::MainWindow>(global, notifier);
        window->resize(size);
        window->show();
        settle(200);
        tw::TourContext context{global, *window, notifier};
        for (const tw::TourStop& stop : shots) {
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
    };
    photograph(out, QSize(480, 800), stops);
    photograph(out / "wide", QSize(1024, 768), stops);
    // A desk's screens: the wide layout at a laptop's and a monitor's size.
    photograph(out / "desk-1280x800", QSize(1280, 800), deskStops);
    photograph(out / "desk-1920x1080", QSize(1920, 1080), deskStops);
    std::printf("tarnwick-tour: %d pictures written to %s\n", written, out.c_str());
    return failed ? 1 : 0;
}

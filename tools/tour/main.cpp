// SPDX-License-Identifier: GPL-3.0-or-later
// The screen tour: opens every screen of the program on a generated sample
// database and writes one PNG per screen, at 480×800 into OUTDIR and at
// 1024×768 into OUTDIR/wide; the side-by-side layout of a desk's window goes
// into OUTDIR/desk-1280x800 and OUTDIR/desk-1920x1080. A few screens are photographed again in the
// night and the high-contrast theme, as NAME-night.png and NAME-contrast.png.
// Runs on any Qt platform (offscreen in CI).
#include "platform/Paths.h"
#include "screens/MainWindow.h"
#include "screens/Theme.h"
#include "tools/tour/TourWorld.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: tarnwick-tour OUTDIR [NAME...]\n", stderr);
        return 2;
    }
    const fs::path out = argv[1];
    const QStringList only = app.arguments().mid(2);

    tw::TourWorld world(tw::currentExecutable(argv[0]).parent_path());
    if (!world.ready())
        return 1;
    tw::CGlobalData& global = *world.global;
    const std::vector<tw::TourStop> stops = tw::tourStops();
    std::vector<tw::TourStop> deskStops;
    tw::addDeskStops(deskStops);
    const QStringList themed = tw::themedStopNames();
    const std::pair<tw::Theme, const char*> themes[] = {
        {tw::Theme::Day, ""}, {tw::Theme::Night, "-night"}, {tw::Theme::Contrast, "-contrast"}};

    int written = 0;
    int failed = 0;
    struct Pass {
        fs::path subdir;
        QSize size;
        const std::vector<tw::TourStop>& stops;
    };
    // A desk's screens: the wide layout at a laptop's and a monitor's size.
    const Pass passes[] = {{fs::path(), QSize(480, 800), stops},
                           {fs::path("wide"), QSize(1024, 768), stops},
                           {fs::path("desk-1280x800"), QSize(1280, 800), deskStops},
                           {fs::path("desk-1920x1080"), QSize(1920, 1080), deskStops}};
    for (const auto& [subdir, size, shots] : passes) {
        const fs::path folder = out / subdir;
        fs::create_directories(folder);
        auto window = std::make_unique<tw::MainWindow>(global, world.notifier);
        window->resize(size);
        window->show();
        tw::settle(200);
        tw::TourContext context{global, *window, world.notifier};
        for (const auto& [theme, suffix] : themes) {
            tw::applyTheme(theme);
            for (const tw::TourStop& stop : shots) {
                const QString name = stop.name + QLatin1String(suffix);
                if (theme != tw::Theme::Day && !themed.contains(stop.name))
                    continue;
                if (!only.isEmpty() && !only.contains(name))
                    continue;
                const fs::path file = folder / (name.toStdString() + ".png");
                tw::visitStop(stop, context, [&](QWidget* shown) {
                    if (!shown || !shown->grab().save(QString::fromStdString(file.string()))) {
                        std::fprintf(stderr, "tarnwick-tour: %s could not be photographed\n", qPrintable(name));
                        ++failed;
                    } else {
                        ++written;
                    }
                });
            }
        }
        tw::applyTheme(tw::Theme::Day);
    }
    std::printf("tarnwick-tour: %d pictures written to %s\n", written, out.c_str());
    return failed ? 1 : 0;
}

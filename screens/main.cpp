// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"
#include "app/CGlobalData.h"
#include "app/FirstStart.h"
#include "app/CTarnwickApp.h"
#include "app/Version.h"
#include "gps/ProximityAlert.h"
#include "platform/Paths.h"
#include "platform/Signals.h"
#include "screens/CMapScreen.h"
#include "screens/FirstStartDialog.h"
#include "screens/LangText.h"
#include "screens/MainWindow.h"
#include "screens/MapPicture.h"
#include "screens/QtKeepAwake.h"
#include "screens/QtNotifier.h"
#include "screens/QtPrompter.h"
#include "screens/QtSoundPlayer.h"
#include "screens/SingleInstance.h"
#include "screens/vector/VectorTileRenderer.h"
#include "screens/CacheListScreen.h"
#include "screens/CacheSheet.h"
#include "screens/QtStartupUi.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QListView>
#include <QTimer>
#include <QTranslator>
#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

bool haveDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* v = std::getenv(name);
        if (v && *v)
            return true;
    }
    return false;
}

// The words the program takes, for --help and for a start without a display.
void printUsage(std::FILE* to)
{
    std::fputs("Batch words, run without a window:\n"
               "  tarnwick fn            export the field notes of the last two days\n"
               "  tarnwick tgpx|tkml|tplt  export every recorded track (words may be combined)\n"
               "  tarnwick tdel          delete every recorded track\n"
               "  tarnwick i FILE        import a GPX pocket query (or a zipped one)\n"
               "  tarnwick e FILE        export the caches of the saved filter to a GPX file\n"
               "  tarnwick dl CODE...    download caches by code (online)\n"
               "  tarnwick near LAT LON  download the caches nearest to a point (online)\n"
               "  tarnwick refresh       fresh data of the saved filter's caches (online)\n"
               "  tarnwick png LAT LON ZOOM WxH FILE [SOURCE]  a picture of the map there\n"
               "  tarnwick pdf CODE|all FILE  the printed sheet of a cache, or of every cache of the saved filter\n"
               "The window:\n"
               "  tarnwick               open the cache list\n"
               "  tarnwick show CODE     open that cache's listing\n"
               "  tarnwick --map         open the map over the cache list\n",
               to);
}

void explainNoDisplay()
{
    std::fputs("tarnwick: there is no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY\n"
               "is set). Without a display Tarnwick runs its batch words.\n",
               stderr);
    printUsage(stderr);
    std::fputs("To open the window without a screen, set QT_QPA_PLATFORM=offscreen or run it under xvfb-run.\n",
               stderr);
}

// For the start-up benchmark (TARNWICK_EXIT_AFTER_LIST=1): once the cache
// list has been painted for the first time, says so on standard output and
// ends the program the normal way.
class ExitAfterFirstPaint final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            // Runs after the paint event has been handled.
            QTimer::singleShot(0, qApp, [] {
                std::fputs("tarnwick: cache list painted\n", stdout);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool m_painted = false;
};

// The renderer of vector map sources, for the window and the batch words.
tw::maps::TileRendererFactory vectorMapRenderers(const std::filesystem::path& installDir)
{
    return [installDir](const tw::maps::VectorMapSettings& settings) {
        return tw::vector::makeVectorTileRenderer(settings, installDir);
    };
}

} // namespace

int main(int argc, char* argv[])
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const tw::Paths paths = tw::Paths::fromEnvironment(tw::currentExecutable(argv[0]));

    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        printUsage(stdout);
        return 0;
    }
    tw::CTarnwickCommandLine words;
    words.parse(args);
    if (words.isBatch() && !words.picture && !words.sheets)
        return tw::runBatchMode(paths, args);
    if (words.isBatch()) {
        // The map picture and the sheets are painted as the window paints,
        // on Qt's offscreen platform: no display is needed, nor asked for.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication qapp(argc, argv);
        tw::BatchActions actions = tw::defaultBatchActions();
        actions.mapPicture = [](tw::CGlobalData& global, const tw::MapPictureRequest& request) {
            global.tileRenderers = vectorMapRenderers(global.paths.install);
            return tw::drawMapPicture(global, request, stderr);
        };
        actions.cacheSheets = [](tw::CGlobalData& global, const std::string& which, const std::string& file) {
            global.tileRenderers = vectorMapRenderers(global.paths.install);
            return tw::writeSheetsInBatch(global, which, file, stderr);
        };
        return tw::runBatchMode(paths, args, std::move(actions));
    }
    if (!haveDisplay()) {
        explainNoDisplay();
        return 2;
    }

    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwick"));
    QApplication::setApplicationVersion(QString::fromLatin1(tw::kProgramVersion));

    // One window per settings folder: a later start hands its request over.
    tw::SingleInstance instance(paths.config);
    if (instance.forward(QString::fromStdString(words.showCode)))
        return 0;

    tw::installTerminationHandler();
    // SIGTERM ends every event loop of the window thread, a dialog's own
    // included, and keeps new ones from starting (QCoreApplication::exit
    // marks the thread); start-up then stops where it is and the shutdown
    // runs. The descriptor stays readable, so the notifier fires once.
    QSocketNotifier terminate(tw::terminationFd(), QSocketNotifier::Read);
    QObject::connect(&terminate, &QSocketNotifier::activated, &qapp, [&terminate] {
        terminate.setEnabled(false);
        QCoreApplication::exit(0);
    });

    tw::QtPrompter prompter;
    tw::QtNotifier notifier;
    tw::QtKeepAwake keepAwake;
    // Outlives the program state: the receiver's thread plays through it.
    tw::QtSoundPlayer sound;
    tw::CGlobalData global(paths, {prompter, notifier, keepAwake}, 480, 800);
    global.tileRenderers = vectorMapRenderers(global.paths.install);
    prompter.setTexts(global.lang);
    global.gpsServices.proximityAlert->setSoundPlayer(&sound);
    tw::CTarnwickApp app(global);
    app.batch = tw::defaultBatchActions();
    // Without a settings file the window first asks for the language and
    // home.
    tw::FirstStartDialog::askIfFirstStart(global);
    if (tw::terminationRequested())
        return 0;
    // Qt's own words (file dialogs, edit menus) in the program's language,
    // where Qt's translations are installed.
    global.LoadSettings(tw::SettingsGroup::User);
    QTranslator qtWords;
    if (qtWords.load(QStringLiteral("qtbase_") + QString::fromStdString(global.settings.language),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtWords);
    tw::QtStartupUi ui(global, notifier, prompter);
    if (!app.InitInstance(args, ui))
        return 1;
    keepAwake.setReason(tw::langText(global, 969));
    if (tw::MainWindow* window = ui.mainWindow()) {
        instance.listen();
        QObject::connect(&instance, &tw::SingleInstance::requested, window, [window](const QString& code) {
            window->showNormal();
            window->raise();
            window->activateWindow();
            if (!code.isEmpty())
                window->showCache(code.toStdString());
        });
        if (words.openMap)
            tw::openMapScreen(*window, global);
        if (!words.showCode.empty())
            window->showCache(words.showCode);
        const char* exitAfterList = std::getenv("TARNWICK_EXIT_AFTER_LIST");
        if (exitAfterList && *exitAfterList == '1' && window->cacheList())
            window->cacheList()->view()->viewport()->installEventFilter(new ExitAfterFirstPaint(window));
    }
    if (!app.quitRequested() && !tw::terminationRequested())
        qapp.exec();
    return app.ExitInstance();
}

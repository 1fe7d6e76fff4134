// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/GpsSwitch.h"
#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "gps/Navigation.h"
#include "gps/ProximityAlert.h"
#include "screens/CExportTrackDlg.h"
#include "screens/CGpsMon.h"
#include "screens/CGpsScr.h"
#include "screens/CGpsTrip.h"
#include "screens/CTrackManager.h"
#include "screens/NavigationScreen.h"
#include "tests/TestSupport.h"
#include "tests/screens/ScreenWorld.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTreeWidget>
#include <QtTest>

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

using namespace tw;
using test::onNextDialog;
using test::ScreenWorld;
namespace fs = std::filesystem;

#define REQUIRE_CORPUS()                                                                                  \
    do {                                                                                                  \
        if (test::corpusDir().empty()) {                                                                  \
            if (test::underCi())                                                                          \
                QFAIL("the shared corpus of real files (../shared/corpus) is missing under CI");          \
            QSKIP("the shared corpus of real files (../shared/corpus) is not beside the repository");     \
        }                                                                                                 \
    } while (0)

#define REQUIRE_PROGRAM(name)                                                                             \
    do {                                                                                                  \
        if (!test::haveProgram(name))                                                                     \
            QSKIP(name " is not installed (scripts/setup.sh installs it)");                               \
    } while (0)

namespace {

// No cache database; the track database open and recording on.
const ScreenWorld::Options kGpsWorld{.home = {49.19, 16.6}, .cacheDb = false, .fromHome = false, .recordTrack = true};

// The position fields of a sentence: "ddmm.mmmm,N,dddmm.mmmm,E".
std::string positionFields(geo::LatLon at)
{
    // Minutes in ten-thousandths, written with integers only: a receiver
    // writes a decimal point whatever the locale of the test.
    auto field = [](double value, int degreeDigits) {
        const long tenThousandths = std::lround(std::abs(value) * 60 * 10000);
        const long degrees = tenThousandths / (60 * 10000);
        const long minutes = tenThousandths % (60 * 10000);
        char text[32];
        std::snprintf(text, sizeof text, "%0*ld%02ld.%04ld", degreeDigits, degrees, minutes / 10000,
                      minutes % 10000);
        return std::string(text);
    };
    return field(at.lat, 2) + (at.lat < 0 ? ",S," : ",N,") + field(at.lon, 3) + (at.lon < 0 ? ",W" : ",E");
}

std::string gga(geo::LatLon at, const std::string& time = "101500.00")
{
    return "$GPGGA," + time + "," + positionFields(at) + ",1,07,1.0,300.0,M,0,M,,\r\n";
}

// One usable fix, as the reader hands it on, a few seconds later by the
// receiver's time as by the program's clock: the RMC with the date, then
// the GGA.
void fix(ScreenWorld& w, geo::LatLon at)
{
    w.clock += 5;
    std::tm t{};
    gmtime_r(&w.clock, &t);
    char time[16], date[16];
    std::strftime(time, sizeof time, "%H%M%S.00", &t);
    std::strftime(date, sizeof date, "%d%m%y", &t);
    w.global->gpsServices.gps->dispatchLine("$GPRMC," + std::string(time) + ",A," + positionFields(at) + ",0.0,," +
                                            date + ",,\r\n");
    w.global->gpsServices.gps->dispatchLine(gga(at, time));
}

// The PRNs of the last satellite view in a receiver log.
QList<int> lastSkyView(const std::string& log)
{
    QList<int> prns;
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("$GPGSV,", 0) != 0)
            continue;
        const QStringList f = QString::fromStdString(line.substr(0, line.find('*'))).split(QLatin1Char(','));
        if (f.value(2) == QLatin1String("1"))
            prns.clear();
        for (int i = 4; i < f.size(); i += 4)
            if (f.value(i).toInt() > 0)
                prns.append(f.value(i).toInt());
    }
    return prns;
}

} // namespace

class GpsScreensTest : public QObject {
    Q_OBJECT

private slots:
    void pagesShowTheSatellitesOfAReceiverLog()
    {
        REQUIRE_CORPUS();
        const std::string log = test::readFile(test::corpusDir() / "nmea" / "bu353s4.log");
        ScreenWorld w(kGpsWorld);
        w.global->gpsServices.gps->feed(log);
        CGpsScr screen(*w.global);
        screen.tick();
        const QList<int> expected = lastSkyView(log);
        QVERIFY(expected.size() >= 8);
        QCOMPARE(screen.monitor()->plottedPrns(), expected);
        // A southern, eastern position as the log gives it.
        QVERIFY(screen.monitor()->textLines().at(0).startsWith(QString::fromUtf8("S 37°47.")));
        QVERIFY(screen.monitor()->textLines().at(1).startsWith(QString::fromUtf8("E 175°18.")));
        screen.showPage(CGpsScr::Trip);
        QVERIFY(!screen.trip()->values().at(0).isEmpty());
    }

    void compassPointsAtTheTarget()
    {
        ScreenWorld w(kGpsWorld);
        const geo::LatLon user{49.2, 16.61};
        fix(w, user);
        w.global->gpsServices.gps->dispatchLine("$GPRMC,101500.00,A,4912.0000,N,01636.6000,E,3.0,40.0,150624,,\r\n");
        const geo::LatLon target = geo::projectPoint(user, 0.2, 70.0);
        w.global->gpsServices.setNavigationTarget(NavigationTarget{"Final", "GCTEST", target.lat, target.lon});
        w.global->settings.northUp = 1;
        NavigationScreen screen(*w.global);
        QVERIFY(!screen.state().radar);
        QVERIFY(qAbs(screen.state().targetArrowDeg - 70.0) < 0.5);
        QVERIFY(qAbs(screen.state().distanceM - 200.0) < 1.0);
        w.global->settings.northUp = 0; // course-up: the arrow turns against the course
        screen.tick();
        QVERIFY(qAbs(screen.state().targetArrowDeg - 30.0) < 0.5);
        QVERIFY(qAbs(screen.state().roseDeg + 40.0) < 0.01);
        // Within 30 m, with the radar on, the radar shows.
        w.global->settings.useRadar = 1;
        const geo::LatLon near = geo::projectPoint(user, 0.02, 10.0);
        w.global->gpsServices.setNavigationTarget(NavigationTarget{"Stage", "GCTEST", near.lat, near.lon});
        screen.tick();
        QVERIFY(screen.state().radar);
    }

    void alertSoundsOnceNearTheTargetAndAgainAfterLeaving()
    {
        ScreenWorld w(kGpsWorld);
        const geo::LatLon target{49.2, 16.6};
        w.global->gpsServices.setNavigationTarget(NavigationTarget{"Cache", "GCALRT", target.lat, target.lon});
        auto at = [&](double metres) { return geo::projectPoint(target, metres / 1000.0, 180.0); };
        fix(w, at(100));
        QCOMPARE(w.sound.played().size(), std::size_t(0));
        fix(w, at(25));
        QCOMPARE(w.sound.played().size(), std::size_t(1));
        QCOMPARE(w.sound.played().front(), w.global->settings.alertSound);
        QVERIFY(fs::exists(w.global->settings.alertSound)); // the shipped alarm
        fix(w, at(15));
        fix(w, at(45)); // inside 1.8 × 30 m: still fired
        fix(w, at(20));
        QCOMPARE(w.sound.played().size(), std::size_t(1));
        fix(w, at(60));
        fix(w, at(20));
        QCOMPARE(w.sound.played().size(), std::size_t(2));
        QVERIFY(w.global->gpsServices.proximityAlert->fired());

        // Switching the receiver on arms the alert again.
        const fs::path replay = w.root() / "walk.nmea";
        test::writeFile(replay, gga(at(20)));
        w.global->gpsServices.gpsSwitch->switchOn("replay:" + replay.string(), 4800);
        QTRY_VERIFY_WITH_TIMEOUT(!w.global->gpsServices.gpsSwitch->busy(), 5000);
        QVERIFY(!w.global->gpsServices.proximityAlert->fired());
        w.global->gpsServices.gpsSwitch->switchOff();
        w.global->gpsServices.gpsSwitch->finish();
    }

    void windowNeverWaitsForTheReceiverOrTheTrackFlush()
    {
        ScreenWorld w(kGpsWorld);
        w.global->gpsServices.trackLogger->setMaxTrackBuffer(0); // every fix is written at once
        // Another program holds the track database, so the receiver's write
        // fails and its report holds the logger, as a slow card would.
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(w.global->trackDbPath().c_str(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr), SQLITE_OK);
        w.prompter.hold(true);
        std::thread reader([&w] { fix(w, {49.2, 16.6}); });
        // Whatever fails below, the reader is let go and joined.
        struct Release {
            ScreenWorld& w;
            std::thread& reader;
            ~Release()
            {
                w.prompter.hold(false);
                if (reader.joinable())
                    reader.join();
            }
        } release{w, reader};
        QTRY_VERIFY_WITH_TIMEOUT(w.prompter.holding(), 10000); // after the track database's busy timeout

        CGpsScr gpsScreen(*w.global);
        NavigationScreen navigation(*w.global);
        QElapsedTimer t;
        t.start();
        for (const CGpsScr::Page page : {CGpsScr::Monitor, CGpsScr::Averaging, CGpsScr::Trip}) {
            gpsScreen.showPage(page);
            gpsScreen.tick();
            gpsScreen.grab();
        }
        navigation.tick();
        navigation.grab();
        w.global->gpsServices.gpsSwitch->switchOff();
        const bool on = w.global->gpsServices.gpsSwitch->isOn();
        const qint64 elapsed = t.elapsed();
        QVERIFY(w.prompter.holding()); // still held: nothing above waited for it
        w.prompter.hold(false);
        reader.join();
        w.global->gpsServices.gpsSwitch->finish();
        sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY(!on);
        QVERIFY2(elapsed < 2000, qPrintable(QString::number(elapsed)));
    }

    void trackManagerRenamesExportsAndDeletes()
    {
        REQUIRE_PROGRAM("gpsbabel");
        ScreenWorld w(kGpsWorld);
        CTrackLogger& logger = *w.global->gpsServices.trackLogger;
        for (int i = 0; i < 6; ++i)
            fix(w, {49.2 + i * 0.0005, 16.6});
        w.clock += 3600;
        logger.newTrack();
        for (int i = 0; i < 4; ++i)
            fix(w, {49.3, 16.7 + i * 0.0005});
        logger.flushBuffer();

        CTrackManager manager(*w.global);
        QCOMPARE(manager.list()->topLevelItemCount(), 2);
        manager.list()->setCurrentItem(manager.list()->topLevelItem(1)); // the older track 1
        QCOMPARE(manager.list()->topLevelItem(1)->text(CTrackManager::TrackId), QStringLiteral("1"));
        manager.nameField()->setText(QStringLiteral("Morning walk"));
        manager.renameChosen();
        QCOMPARE(logger.trackHeader(1)->name, std::string("Morning walk"));

        const fs::path folder = w.root() / "out";
        fs::create_directories(folder);
        manager.setMarked(1, true);
        manager.setMarked(2, true);
        onNextDialog<CExportTrackDlg>([&](CExportTrackDlg* d) {
            d->folderField()->setText(QString::fromStdString(folder.string()));
            d->gpxBox()->setChecked(true);
            d->kmlBox()->setChecked(false);
            d->pltBox()->setChecked(true);
            d->deleteBox()->setChecked(false);
            d->accept();
        });
        QSignalSpy finished(&manager, &CTrackManager::exportFinished);
        manager.exportMarked();
        QVERIFY(finished.wait(10000));
        QCOMPARE(w.global->settings.trackFile, folder.string());
        QVERIFY(manager.resultLabel()->text().contains(QLatin1String("4 files")));
        // Another program reads every point of the renamed track.
        for (const auto& [file, format] : {std::pair{"Morning_walk.gpx", "gpx"}, std::pair{"Morning_walk.plt", "ozi"}}) {
            QProcess babel;
            babel.start(QStringLiteral("gpsbabel"), {QStringLiteral("-t"), QStringLiteral("-i"), QLatin1String(format),
                                                     QStringLiteral("-f"), QString::fromStdString((folder / file).string()),
                                                     QStringLiteral("-o"), QStringLiteral("unicsv"), QStringLiteral("-F"),
                                                     QStringLiteral("-")});
            QVERIFY(babel.waitForFinished(20000));
            QCOMPARE(babel.readAllStandardOutput().count('\n'), qsizetype(1 + 6));
        }

        // Deleting the older track asks the question for older tracks.
        manager.setMarked(2, false);
        w.prompter.queueAnswer(true);
        manager.deleteMarked();
        QCOMPARE(w.prompter.questions().back(), w.global->text(369));
        QCOMPARE(logger.listTracks().size(), std::size_t(1));
        QCOMPARE(logger.listTracks().front().trackId, 2);
        QCOMPARE(manager.list()->topLevelItemCount(), 1);
    }
};

QTEST_MAIN(GpsScreensTest)
#include "GpsScreensTest.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "app/CTarnwickApp.h"
#include "gps/GpsReceiver.h"
#include "platform/IniFile.h"
#include "platform/SoundPlayer.h"
#include "screens/COptionsScr.h"
#include "screens/CSettingsAlertPage.h"
#include "screens/CSettingsGPSPage.h"
#include "screens/CacheListModel.h"
#include "screens/CacheListScreen.h"
#include "screens/CoordEdit.h"
#include "screens/MainWindow.h"
#include "screens/QtNotifier.h"
#include "tests/gps/GpsTestSupport.h"
#include "tests/screens/ScreenWorld.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTimer>
#include <QtTest>

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace tw;
using test::child;
using test::ScreenWorld;
namespace fs = std::filesystem;

namespace {

constexpr geo::LatLon kHome{50.08, 14.42};

// The installation folder is the test's own, with two alert sounds; every
// start reads all settings and the list shows every cache.
const ScreenWorld::Options kOptionsWorld{.home = kHome,
                                         .settingsGroups = SettingsGroup::All,
                                         .dummyCache = true,
                                         .everyCache = true,
                                         .ownInstall = true};

// Three caches 2, 3 and 4 km from home.
void addThreeCaches(ScreenWorld& w)
{
    for (int i = 0; i < 3; ++i)
        w.addCache("GCW" + std::to_string(i), 2.0 + i, 90.0 * i);
    w.global->db.ReadDbCounters();
}

COptionsScr* openOptions(MainWindow& window, CGlobalData& global)
{
    openOptionsScreen(window, global);
    return qobject_cast<COptionsScr*>(window.topScreen());
}

QString firstDistance(MainWindow& window)
{
    const QAbstractItemModel* model = window.cacheList()->view()->model();
    return model->index(0, 0).data(CacheListModel::DistanceTextRole).toString();
}

} // namespace

class OptionsScreenTest : public QObject {
    Q_OBJECT

private slots:
    void everyPageKeepsWhatItWasGivenThroughSaveAndAFreshLoad()
    {
        ScreenWorld w(kOptionsWorld);
        addThreeCaches(w);
        const std::string templ = "  Found at [T] = #[N]; [L]  \r\n\r\n[Díky] za keš!\t";
        {
            COptionsScr screen(*w.global);
            child<QLineEdit>(&screen, "mapFolder")->setText(QString::fromStdString((w.paths.data / "maps").string()));
            child<QSpinBox>(&screen, "maxRows")->setValue(250);
            child<QLineEdit>(&screen, "mapTheme")->setText(QStringLiteral(" /home/me/themes/Winter map.xml "));
            child<QCheckBox>(&screen, "suspendKiller")->setChecked(false);
            child<QCheckBox>(&screen, "runOnSuspend")->setChecked(true);
            auto* refresh = child<QComboBox>(&screen, "refresh");
            refresh->setCurrentIndex(refresh->findData(120));
            auto* font = child<QFontComboBox>(&screen, "font");
            font->setCurrentIndex(font->count() - 1);
            child<QCheckBox>(&screen, "dnlOnline")->setChecked(true);

            child<QLineEdit>(&screen, "nickname")->setText(QStringLiteral(" Jiří = ;#[x] "));
            child<QLineEdit>(&screen, "password")->setText(QStringLiteral("Abc[Xyz]n"));
            screen.homeEdit()->setPosition({-14.5, 151.207});
            auto* language = child<QComboBox>(&screen, "language");
            language->setCurrentIndex(language->findData(QStringLiteral("cs")));
            child<QComboBox>(&screen, "units")->setCurrentIndex(1);
            child<QComboBox>(&screen, "coordStyle")->setCurrentIndex(2);

            child<QComboBox>(&screen, "port")->setEditText(QStringLiteral("replay:/var/log/trip.nmea"));
            auto* speed = child<QComboBox>(&screen, "speed");
            speed->setCurrentIndex(speed->findData(38400u));
            child<QCheckBox>(&screen, "saveTrack")->setChecked(true);

            auto* mapType = child<QComboBox>(&screen, "mapType");
            QVERIFY(mapType->count() > 0);
            mapType->setCurrentIndex(mapType->count() - 1);

            child<QPlainTextEdit>(&screen, "template")->setPlainText(QString::fromStdString(templ).remove('\r'));
            child<QDateEdit>(&screen, "since")->setDate(QDate(2011, 11, 24));
            child<QSpinBox>(&screen, "findsExtra")->setValue(100);

            child<QLineEdit>(&screen, "trackFolder")->setText(QStringLiteral("/home/me/tracks"));
            child<QCheckBox>(&screen, "trackGpx")->setChecked(true);
            child<QCheckBox>(&screen, "trackPlt")->setChecked(true);
            child<QCheckBox>(&screen, "delTrack")->setChecked(true);

            child<QCheckBox>(&screen, "alertOn")->setChecked(false);
            child<QSpinBox>(&screen, "alertDist")->setValue(75);
            auto* sound = child<QComboBox>(&screen, "alertSound");
            QVERIFY(sound->findText(QStringLiteral("chime")) >= 0);
            sound->setCurrentIndex(sound->findText(QStringLiteral("horn")));
            QVERIFY(screen.apply());
        }
        const std::string fontName = w.global->settings.fontName;
        const int mapType = w.global->settings.mapType;
        w.restart();
        const Settings& s = w.global->settings;
        struct Row {
            const char* name;
            std::string got, want;
        };
        const std::vector<Row> rows{
            {"MapFolder", s.mapFolder, (w.paths.data / "maps").string()},
            {"MaxRows", std::to_string(s.maxRows), "250"},
            {"MapTheme", s.mapTheme, "/home/me/themes/Winter map.xml"},
            {"SuspendKiller", std::to_string(s.suspendKiller), "0"},
            {"RunOnSuspend", std::to_string(s.runOnSuspend), "1"},
            {"SrchResRefresh", std::to_string(s.srchResRefresh), "120"},
            {"FontName", s.fontName, fontName},
            {"DnlOnline", std::to_string(s.dnlOnline), "1"},
            {"Nickname", s.nickname, " Jiří = ;#[x] "},
            {"Password", s.password, "Abc[Xyz]n"},
            {"Language", s.language, "cs"},
            {"MetricUnits", std::to_string(s.metricUnits), "0"},
            {"CoordStyle", std::to_string(s.coordStyle), "2"},
            {"GpsPortS", s.gpsPortS, "replay:/var/log/trip.nmea"},
            {"GpsBaud", std::to_string(s.gpsBaud), "38400"},
            {"SaveTrackLog", std::to_string(s.saveTrackLog), "1"},
            {"MapType", std::to_string(s.mapType), std::to_string(mapType)},
            {"FNTemplate", s.fnTemplate, templ},
            {"FNSince", std::to_string(s.fnSince), "20111124"},
            {"FindsCountExtra", std::to_string(s.findsCountExtra), "100"},
            {"TrackFile", s.trackFile, "/home/me/tracks"},
            {"TrackGPX/KML/PLT/DelTrack",
             std::to_string(s.trackGPX) + std::to_string(s.trackKML) + std::to_string(s.trackPLT) + std::to_string(s.delTrack),
             "1011"},
            {"AlertOn", std::to_string(s.alertOn), "0"},
            {"AlertDist", std::to_string(s.alertDist), "75"},
            {"AlertSound", s.alertSound, (w.paths.install / "sounds" / "horn.wav").string()},
        };
        for (const Row& r : rows)
            QVERIFY2(r.got == r.want, qPrintable(QStringLiteral("%1: '%2' instead of '%3'")
                                                     .arg(QLatin1String(r.name), QString::fromStdString(r.got),
                                                          QString::fromStdString(r.want))));
        QCOMPARE(s.homeLat, -14.5);
        QCOMPARE(s.homeLon, 151.207);

        // The pages show the stored values again, unchanged.
        COptionsScr again(*w.global);
        const Settings shown = again.edited();
        QCOMPARE(shown.fnTemplate, templ);
        QCOMPARE(shown.nickname, s.nickname);
        QCOMPARE(shown.gpsPortS, s.gpsPortS);
        QCOMPARE(shown.alertSound, s.alertSound);
        QCOMPARE(shown.fontName, s.fontName);
        QCOMPARE(shown.language, s.language);
        QCOMPARE(shown.homeLat, s.homeLat);

        // The password is only scrambled in a file that is the user's alone;
        // the page says so beside it, in the chosen language.
        const QString note = child<QLabel>(&again, "passwordNote")->text();
        QVERIFY2(note.contains(QStringLiteral("zašifrované")), qPrintable(note));
        QCOMPARE(fs::status(w.global->settingsPath()).permissions() & fs::perms::all,
                 fs::perms::owner_read | fs::perms::owner_write);
    }

    void okAppliesThePowerOptionsAndBackChangesNothing()
    {
        ScreenWorld w(kOptionsWorld);
        addThreeCaches(w);
        CTarnwickApp app(*w.global);
        MainWindow window(*w.global, w.notifier);
        const std::string before = IniFile(w.global->settingsPath()).getString("Options", "Nickname").value_or("-");

        COptionsScr* screen = openOptions(window, *w.global);
        child<QLineEdit>(screen, "nickname")->setText(QStringLiteral("changed"));
        child<QCheckBox>(screen, "runOnSuspend")->setChecked(true);
        QVERIFY(window.popScreen());
        QCOMPARE(w.global->settings.nickname, std::string());
        QCOMPARE(IniFile(w.global->settingsPath()).getString("Options", "Nickname").value_or("-"), before);
        QVERIFY(w.keepAwake.calls().empty());

        screen = openOptions(window, *w.global);
        child<QLineEdit>(screen, "nickname")->setText(QStringLiteral("changed"));
        child<QCheckBox>(screen, "runOnSuspend")->setChecked(true);
        screen->mainAction();
        QTRY_COMPARE(window.screenDepth(), 1);
        QCOMPARE(w.global->settings.nickname, std::string("changed"));
        QCOMPARE(IniFile(w.global->settingsPath()).getString("Options", "Nickname"), std::string("changed"));
        const auto calls = w.keepAwake.calls();
        QVERIFY(std::find(calls.begin(), calls.end(), "unattended on") != calls.end());
        QVERIFY(std::find(calls.begin(), calls.end(), "acquire") != calls.end());
    }

    // A vector map has no map types to choose from: it shows under its own
    // name, greyed; a tile source beside it lists its types; saving keeps
    // the vector map at its one type.
    void aVectorSourceShowsItsNameAsItsOneMapType()
    {
        ScreenWorld w(kOptionsWorld);
        maps::MapSources& sources = w.global->mapSources;
        sources.clear();
        sources[0].name = "Grid";
        sources[0].basic.resize(2);
        sources[0].basic[0].name = "Streets";
        sources[0].basic[1].name = "Terrain";
        sources[1].name = "Krumlov";
        sources[1].storage = maps::kVectorStorage;
        sources[1].mapFiles = {"krumlov.map"};
        w.global->settings.mapSource = 1;
        w.global->settings.mapType = 0;
        COptionsScr screen(*w.global);
        auto* source = child<QComboBox>(&screen, "mapSource");
        auto* type = child<QComboBox>(&screen, "mapType");
        QCOMPARE(type->count(), 1);
        QCOMPARE(type->currentText(), QStringLiteral("Krumlov"));
        QVERIFY(!type->isEnabled());
        source->setCurrentIndex(source->findData(0));
        QCOMPARE(type->count(), 2);
        QVERIFY(type->isEnabled());
        type->setCurrentIndex(1);
        source->setCurrentIndex(source->findData(1));
        QVERIFY(screen.apply());
        QCOMPARE(w.global->settings.mapSource, 1);
        QCOMPARE(w.global->settings.mapType, 0);
    }

    // Six pages do not fit 480 px: the tab bar scrolls, and both its arrows
    // are finger-sized and take the user to the last page and back.
    void tabScrollArrowsAreFingerSizedAtTheHandheldSize()
    {
        ScreenWorld w(kOptionsWorld);
        auto window = w.openWindow(QSize(480, 800));
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        COptionsScr* screen = openOptions(*window, *w.global);
        auto* tabs = child<QTabWidget>(screen, "optionsTabs");
        QTRY_VERIFY(tabs->tabBar()->isVisible());
        QList<QToolButton*> arrows;
        for (auto* key : tabs->tabBar()->findChildren<QToolButton*>())
            if (key->isVisible())
                arrows.append(key);
        QCOMPARE(arrows.size(), 2);
        const int tap = touchPx(*w.global);
        QVERIFY(tap >= 44);
        for (const QToolButton* arrow : arrows) {
            QVERIFY2(arrow->width() >= tap && arrow->height() >= tap,
                     qPrintable(QStringLiteral("arrow of %1×%2 px").arg(arrow->width()).arg(arrow->height())));
            QVERIFY(tabs->tabBar()->rect().contains(arrow->geometry()));
        }
        QToolButton* right = arrows[0]->x() > arrows[1]->x() ? arrows[0] : arrows[1];
        const int last = tabs->count() - 1;
        for (int i = 0; i < tabs->count() && right->isEnabled(); ++i)
            QTest::mouseClick(right, Qt::LeftButton);
        QVERIFY(!right->isEnabled());
        const QRect lastTab = tabs->tabBar()->tabRect(last);
        QVERIFY(lastTab.right() <= std::min(arrows[0]->x(), arrows[1]->x()));
    }

    void switchingToANewDatabaseAndBackKeepsBothAndTheListFollows()
    {
        ScreenWorld w(kOptionsWorld);
        addThreeCaches(w);
        MainWindow window(*w.global, w.notifier);
        QCOMPARE(window.cacheList()->view()->model()->rowCount(), 3);
        const std::string first = w.global->settings.dbFile;
        const fs::path second = w.paths.data / "trip.db3";

        COptionsScr* screen = openOptions(window, *w.global);
        child<QLineEdit>(screen, "dbFile")->setText(QString::fromStdString(second.string()));
        screen->mainAction();
        QTRY_COMPARE(window.screenDepth(), 1);
        QVERIFY(fs::exists(second));
        QCOMPARE(w.global->db.cacheCount, 0);
        QTRY_COMPARE(window.cacheList()->view()->model()->rowCount(), 0);
        QTRY_VERIFY(window.statusText().contains(QStringLiteral("0/0")));

        // A file that is no database is refused, and the open one stays.
        std::ofstream(w.paths.data / "notes.txt") << "not a database\n";
        screen = openOptions(window, *w.global);
        child<QLineEdit>(screen, "dbFile")->setText(QString::fromStdString((w.paths.data / "notes.txt").string()));
        QVERIFY(!screen->apply());
        QCOMPARE(w.prompter.messages().size(), std::size_t(1));
        QCOMPARE(w.global->settings.dbFile, second.string());
        QVERIFY(w.global->db.cacheDbProblem().empty());

        child<QLineEdit>(screen, "dbFile")->setText(QString::fromStdString(first));
        screen->mainAction();
        QTRY_COMPARE(window.screenDepth(), 1);
        QCOMPARE(w.global->db.cacheCount, 3);
        QTRY_COMPARE(window.cacheList()->view()->model()->rowCount(), 3);
        QTRY_VERIFY(window.statusText().contains(QStringLiteral("3/3")));
        QCOMPARE(IniFile(w.global->settingsPath()).getString("Options", "DbFile"), first);

        // The new file is a cache database of its own, with its dummy cache.
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open_v2(second.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt* st = nullptr;
        QCOMPARE(sqlite3_prepare_v2(db, "SELECT COUNT(*) FROM geocache WHERE id = 'GC0'", -1, &st, nullptr), SQLITE_OK);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(st, 0), 1);
        sqlite3_finalize(st);
        sqlite3_close(db);
    }

    void homeAndUnitsReloadTheDistancesOfTheList()
    {
        ScreenWorld w(kOptionsWorld);
        addThreeCaches(w);
        MainWindow window(*w.global, w.notifier);
        const QString metric = firstDistance(window);
        QVERIFY(metric.contains(QStringLiteral("km")));

        COptionsScr* screen = openOptions(window, *w.global);
        child<QComboBox>(screen, "units")->setCurrentIndex(1);
        screen->mainAction();
        QTRY_VERIFY(firstDistance(window).contains(QStringLiteral("mi")));

        const QString imperial = firstDistance(window);
        screen = openOptions(window, *w.global);
        screen->homeEdit()->setPosition({kHome.lat + 1.0, kHome.lon});
        screen->mainAction();
        QTRY_VERIFY(firstDistance(window) != imperial);
        QVERIFY(firstDistance(window).contains(QStringLiteral("mi")));
    }

    void gpsPageListsAndFindsAReceiverWithoutHoldingUpTheWindow()
    {
        ScreenWorld w(kOptionsWorld);
        addThreeCaches(w);
        test::FakeReceiver device;
        const fs::path dev = w.paths.data / "dev";
        fs::create_directories(dev / "serial" / "by-id");
        fs::create_symlink(device.slaveName(), dev / "serial" / "by-id" / "usb-Fake_GPS-if00");
        w.global->settings.gpsPortS = "gpsd://127.0.0.1:1";

        COptionsScr screen(*w.global);
        CSettingsGPSPage* page = screen.gpsPage();
        page->setScanRoots({dev, w.paths.data / "sys"});
        QComboBox* ports = page->portList();
        const QString link = QString::fromStdString((dev / "serial" / "by-id" / "usb-Fake_GPS-if00").string());
        QVERIFY(ports->findText(link + QStringLiteral(" usb-Fake_GPS-if00")) >= 0);
        QVERIFY(ports->findData(QStringLiteral("gpsd://127.0.0.1:1")) >= 0);
        QCOMPARE(ports->currentData().toString(), QStringLiteral("gpsd://127.0.0.1:1"));
        ports->setEditText(QStringLiteral("replay:/tmp/none.nmea"));
        QCOMPARE(page->chosenPort(), std::string("replay:/tmp/none.nmea"));
        page->listPorts("replay:/tmp/none.nmea");
        QVERIFY(ports->findData(QStringLiteral("replay:/tmp/none.nmea")) >= 0);

        // The receiver talks once every 100 ms, from the window thread: if
        // the search held the window up, nothing would be sent.
        QTimer talk;
        int ticks = 0;
        connect(&talk, &QTimer::timeout, [&] {
            ++ticks;
            device.send("$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53\r\n");
        });
        talk.start(100);
        QSignalSpy finished(page, &CSettingsGPSPage::detectFinished);
        page->startDetect();
        QVERIFY(page->detecting());
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 20000);
        QVERIFY(ticks >= 3);
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(page->chosenPort(), link.toStdString());
        QCOMPARE(page->speedList()->currentData().toUInt(), 4800u);
        QVERIFY(w.global->gpsServices.gps->isRunning());

        // OK keeps the found receiver running and stores it.
        QVERIFY(screen.apply());
        QCOMPARE(w.global->settings.gpsPortS, link.toStdString());
        QVERIFY(w.global->gpsServices.gps->isRunning());
        w.global->gpsServices.gps->Stop();
    }
};

QTEST_MAIN(OptionsScreenTest)
#include "COptionsScrTest.moc"

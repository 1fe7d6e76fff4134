// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CGlobalData.h"
#include "db/CacheStore.h"
#include "platform/IniFile.h"
#include "tests/app/AppFixture.h"

namespace tw {
namespace {

using SettingsTest = test::AppFixture;
namespace SG = SettingsGroup;

TEST_F(SettingsTest, EmptyStoreGivesTheDefaults)
{
    global->LoadSettings(SG::All);
    const Settings& s = global->settings;
    EXPECT_EQ(s.dbFile, (dir / "data" / "cachedb.db3").string());
    EXPECT_EQ(s.maxRows, 999);
    EXPECT_EQ(s.fontName, "Tahoma");
    EXPECT_EQ(s.language, "cs");
    EXPECT_EQ(s.gpsBaud, 4800);
    EXPECT_EQ(s.trackColor, 41471);
    EXPECT_EQ(s.routeColor, 192);
    EXPECT_EQ(s.mapArea, 2);
    EXPECT_EQ(s.alertDist, 30);
    EXPECT_EQ(s.dnlFull, -1);
    EXPECT_EQ(s.bgColor, -1);
    EXPECT_EQ(s.trackFile, (dir / "docs").string());
    EXPECT_TRUE(s.accessToken.empty());
    EXPECT_FALSE(global->text(153).empty()); // the language table came along
}

TEST_F(SettingsTest, EveryGroupRoundTripsIntoTheNextRun)
{
    Settings& s = global->settings;
    s.maxRows = 250;
    s.nickname = "Jiří";
    s.homeLat = -14.5;
    s.homeLon = 151.207;
    s.gpsPortS = "/dev/ttyUSB0";
    s.movingMap = 1;
    s.fnTemplate = "Díky za keš!";
    s.trackKML = 1;
    s.alertSound = "/usr/share/sounds/ping.wav";
    s.dnlLite = 17;
    s.limitTimestamp = 1700000000123;
    global->SaveSettings(SG::All);

    Settings& r = restart().settings;
    global->LoadSettings(SG::All);
    EXPECT_EQ(r.maxRows, 250);
    EXPECT_EQ(r.nickname, "Jiří");
    EXPECT_DOUBLE_EQ(r.homeLat, -14.5);
    EXPECT_DOUBLE_EQ(r.homeLon, 151.207);
    EXPECT_EQ(r.gpsPortS, "/dev/ttyUSB0");
    EXPECT_EQ(r.movingMap, 1);
    EXPECT_EQ(r.fnTemplate, "Díky za keš!");
    EXPECT_EQ(r.trackKML, 1);
    EXPECT_EQ(r.alertSound, "/usr/share/sounds/ping.wav");
    EXPECT_EQ(r.dnlLite, 17);
    EXPECT_EQ(r.limitTimestamp, 1700000000123);
}

TEST_F(SettingsTest, OnlyTheChosenGroupsAreSaved)
{
    global->settings.maxRows = 5;     // general
    global->settings.nickname = "x";  // user
    global->SaveSettings(SG::User);
    restart().LoadSettings(SG::All);
    EXPECT_EQ(global->settings.maxRows, 999);
    EXPECT_EQ(global->settings.nickname, "x");
}

TEST_F(SettingsTest, StoredFormsOfCoordinatesAndPassword)
{
    global->settings.password = "Abc[Xyz]n";
    global->settings.homeLat = -14.5;
    global->SaveSettings(SG::User);
    IniFile ini(global->settingsPath());
    EXPECT_EQ(ini.getString("Options", "Password"), "Nop[Xyz]a");
    EXPECT_EQ(ini.getInt("Options", "HomeLat"), -14500000);

    ini.setInt("Options", "HomeLat", 50123456);
    ASSERT_TRUE(ini.save());
    restart();
    global->LoadSettings(SG::All);
    EXPECT_DOUBLE_EQ(global->settings.homeLat, 50.123456);
    EXPECT_EQ(global->settings.password, "Abc[Xyz]n");

    // Saving what was read must not creep by a microdegree each time.
    for (int i = 0; i < 5; ++i) {
        global->SaveSettings(SG::User);
        global->LoadSettings(SG::User);
    }
    EXPECT_EQ(IniFile(global->settingsPath()).getInt("Options", "HomeLat"), 50123456);
}

TEST(SecretTransform, RotatesLettersOutsideBrackets)
{
    EXPECT_EQ(transformSecret("Abc[Xyz]n"), "Nop[Xyz]a");
    EXPECT_EQ(transformSecret(transformSecret("Heslo-123 [ok] ŽĎ")), "Heslo-123 [ok] ŽĎ");
    EXPECT_EQ(transformSecret("[unclosed abc"), "[unclosed abc");
    EXPECT_EQ(transformSecret("AZaz09"), "NMnm09");
}

TEST_F(SettingsTest, ReadOnlyValuesAreNeverWritten)
{
    {
        IniFile ini(global->settingsPath());
        ini.setInt("Options", "BgColor", 0x00ccbbaa);
        ini.setInt("Options", "GpsPort", 3);
        ASSERT_TRUE(ini.save());
        IniFile handover(global->handoverPath(), 0600);
        handover.setString(kHandoverSection, "twtk", "nop[123]");
        ASSERT_TRUE(handover.save());
    }
    restart();
    global->LoadSettings(SG::All);
    EXPECT_EQ(global->settings.gpsPortS, "COM3:");
    EXPECT_EQ(global->settings.bgColor, 0x00ccbbaa);
    EXPECT_EQ(global->settings.accessToken, "abc[123]");

    global->settings.bgColor = 5;
    global->settings.gpsPort = 9;
    global->settings.accessToken = "changed";
    global->SaveSettings(SG::All);
    IniFile ini(global->settingsPath());
    EXPECT_EQ(ini.getInt("Options", "BgColor"), 0x00ccbbaa);
    EXPECT_EQ(ini.getInt("Options", "GpsPort"), 3);
    EXPECT_EQ(ini.getString("Options", "GpsPortS"), "COM3:");
    EXPECT_EQ(IniFile(global->handoverPath()).getString(kHandoverSection, "twtk"), "nop[123]");
}

TEST_F(SettingsTest, AbsentTrackExportSwitchesAreOff)
{
    global->settings.trackGPX = 1;
    global->settings.maxRows = 7;
    global->LoadSettings(SG::All);
    EXPECT_EQ(global->settings.trackGPX, 0);
    EXPECT_EQ(global->settings.maxRows, 7); // other values keep the member's value
}

TEST_F(SettingsTest, ARelativeDatabaseNameIsInTheDataFolder)
{
    test::writeFile(global->settingsPath(), "[Options]\nDbFile=trip/caches.db3\n");
    restart();
    global->LoadSettings(SG::All);
    EXPECT_EQ(global->settings.dbFile, (global->paths.data / "trip" / "caches.db3").string());
    test::writeFile(global->settingsPath(), "[Options]\nDbFile=/media/card/caches.db3\n");
    global->LoadSettings(SG::All);
    EXPECT_EQ(global->settings.dbFile, "/media/card/caches.db3");
}

TEST_F(SettingsTest, GarbageFileGivesDefaults)
{
    std::string garbage = "[Options]\nMaxRows=lots\nHomeLat=9999999999999\nGpsBaud=\n";
    for (int i = 0; i < 3000; ++i)
        garbage += static_cast<char>((i * 131 + 7) % 256);
    test::writeFile(global->settingsPath(), garbage);
    restart();
    global->LoadSettings(SG::All);
    EXPECT_EQ(global->settings.maxRows, 999);
    EXPECT_EQ(global->settings.homeLat, 0.0);
    EXPECT_EQ(global->settings.gpsBaud, 4800);
}

TEST_F(SettingsTest, RecentListSkipsDeletedCaches)
{
    test::copyTemplateDb(dir / "data" / "cachedb.db3");
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), 0);
    global->db.InitTagCategories();
    CacheStore store(global->db.cacheDb, global->db.tagCategories);
    for (const char* code : {"GC1", "GC2", "GC3"}) {
        CGeocache c;
        c.code = code;
        ASSERT_TRUE(store.InsertCache(c));
        global->list.setCurrentCache(c);
    }
    global->list.SaveRecent(); // GC3, GC2, GC1
    ASSERT_EQ(global->db.cacheDb.Exec("DELETE FROM geocache WHERE id = 'GC2';"), 0);

    global->list.recent.clear();
    global->list.LoadRecent();
    ASSERT_EQ(global->list.recent.size(), 2u);
    EXPECT_EQ(global->list.currentCache()->code, "GC3");
    EXPECT_EQ(global->list.recent[1]->code, "GC1");
}

TEST_F(SettingsTest, LastPositionRoundTrips)
{
    EXPECT_FALSE(global->RestoreLastPosition());
    global->SaveLastPosition(49.3187, -8.54565);
    const auto p = restart().RestoreLastPosition();
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->first, 49.3187, 1e-6);
    EXPECT_NEAR(p->second, -8.54565, 1e-6);
}

} // namespace
} // namespace tw

#include "geo/ReferencePosition.h"
#include "gps/GpsReceiver.h"

namespace tw {
namespace {

TEST_F(SettingsTest, GpsModeMeasuresFromTheReceiversFix)
{
    global->settings.homeLat = 49.0;
    global->settings.homeLon = 16.0;
    global->list.filter.refPoint = 0; // GPS
    ASSERT_NE(global->reference.livePosition, nullptr);
    // Without a fix the home position stands in.
    EXPECT_DOUBLE_EQ(geo::referencePosition(global->reference.context(), true).lat, 49.0);
    global->gpsServices.gps->dispatchLine("$GPGGA,120000,5030.000,N,01415.000,E,1,07,1.0,250.0,M,,M,,");
    const geo::LatLon p = geo::referencePosition(global->reference.context(), true);
    EXPECT_DOUBLE_EQ(p.lat, 50.5);
    EXPECT_DOUBLE_EQ(p.lon, 14.25);
}

} // namespace
} // namespace tw

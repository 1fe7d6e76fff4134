// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"
#include "app/FieldNotesJob.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "app/RouteFile.h"
#include "app/CTarnwickApp.h"
#include "db/CacheStore.h"
#include "gps/CTrackLogger.h"
#include "platform/IniFile.h"
#include "platform/RecordingJobProgress.h"
#include "tests/app/AppFixture.h"
#include "tests/geo/LocaleGuard.h"

#include <sqlite3.h>

namespace tw {
namespace {

class NoWindow final : public StartupUi {
public:
    void showProgress(const std::string&) override {}
    void closeProgress() override {}
    bool createMainWindow() override { return true; }
};

class ExchangeJobsTest : public test::AppFixture {
protected:
    // One run of the program with these words; returns its exit code.
    int runProgram(const std::vector<std::string>& words)
    {
        restart();
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        NoWindow ui;
        EXPECT_TRUE(app.InitInstance(words, ui));
        return app.ExitInstance();
    }

    std::filesystem::path corpusGpx(const char* name) { return test::corpusDir() / "gpx" / name; }
};

TEST_F(ExchangeJobsTest, ImportThenExportWithTheBatchWords)
{
    TW_REQUIRE_CORPUS();
    test::copyTemplateDb(global->settings.dbFile);
    ASSERT_EQ(runProgram({"i", corpusGpx("GC2T9RW.gpx").string()}), 0);
    ASSERT_EQ(runProgram({"i", corpusGpx("GCGCA8.gpx").string()}), 0);
    const auto out = dir / "out" / "caches.gpx";
    std::filesystem::create_directories(out.parent_path());
    // Every cache, not only the ones the default filter shows.
    {
        CacheFilter all;
        all.active = all.disabled = all.archived = 1;
        all.found = all.owned = 2;
        global->list.filter = all;
        global->list.saveFilter();
    }
    ASSERT_EQ(runProgram({"e", out.string()}), 0);
    const std::string text = test::readFile(out);
    EXPECT_NE(text.find("<name>GC2T9RW</name>"), std::string::npos);
    EXPECT_NE(text.find("<name>GCGCA8</name>"), std::string::npos);
    EXPECT_TRUE(text.ends_with("</gpx>\n"));
    EXPECT_FALSE(std::filesystem::exists(out.string() + ".part" + std::to_string(::getpid())));
    // What an export that was killed left beside the file goes with the next one.
    const auto stale = out.string() + ".part999999999";
    test::writeFile(stale, "<gpx>");
    ASSERT_EQ(runProgram({"e", out.string()}), 0);
    EXPECT_FALSE(std::filesystem::exists(stale));

    // The export reads back into another database as the same caches.
    std::filesystem::remove(global->settings.dbFile);
    test::copyTemplateDb(global->settings.dbFile);
    ASSERT_EQ(runProgram({"i", out.string()}), 0);
    EXPECT_EQ(global->db.cacheCount, 2);
}

// MaxRows bounds the list on the screen; an export takes every cache of the
// filter. A row limit written by hand outside what the options take lists
// the default number of rows, not none.
TEST_F(ExchangeJobsTest, ExportTakesTheWholeFilterWhateverTheListShows)
{
    test::copyTemplateDb(global->settings.dbFile);
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    global->db.InitTagCategories();
    CacheStore store(global->db.cacheDb, global->db.tagCategories);
    for (int i = 0; i < 30; ++i) {
        CGeocache c;
        c.code = "GC" + std::to_string(100 + i);
        c.lat = 50.0 + i * 0.001;
        c.lon = 14.0;
        c.longDesc = "listing " + std::to_string(i);
        ASSERT_TRUE(store.InsertCache(c));
    }
    global->list.filter.active = global->list.filter.disabled = global->list.filter.archived = 1;
    global->list.filter.found = global->list.filter.owned = 2;
    global->list.saveFilter();
    global->settings.maxRows = 10;
    const ExportSummary s = exportGpx(*global, dir / "c.gpx", nullptr, nullptr);
    EXPECT_TRUE(s.written);
    EXPECT_EQ(s.caches, 30);
    const std::string text = test::readFile(dir / "c.gpx");
    EXPECT_NE(text.find("<name>GC129</name>"), std::string::npos);
    EXPECT_NE(text.find("listing 29"), std::string::npos);
    EXPECT_EQ(global->list.listedCount, 10) << "the list shows what it showed";
    EXPECT_EQ(global->list.caches.size(), 10u);

    global->db.cacheDb.Close();
    for (const char* rows : {"-1", "0", "2147483648"}) {
        IniFile ini(global->settingsPath());
        ini.setString("Options", "MaxRows", rows);
        ASSERT_TRUE(ini.save());
        ASSERT_EQ(runProgram({"e", (dir / "c.gpx").string()}), 0) << rows;
        EXPECT_EQ(global->settings.maxRows, 999) << rows;
        EXPECT_NE(test::readFile(dir / "c.gpx").find("<name>GC129</name>"), std::string::npos) << rows;
    }
    IniFile ini(global->settingsPath());
    ini.setString("Options", "MaxRows", "5000000");
    ASSERT_TRUE(ini.save());
    restart();
    global->LoadSettings(SettingsGroup::All);
    EXPECT_EQ(global->settings.maxRows, kMostListRows);
}

TEST_F(ExchangeJobsTest, AnUnknownWordStopsTheRunBeforeAnyWork)
{
    test::copyTemplateDb(global->settings.dbFile);
    const auto out = dir / "c.gpx";
    testing::internal::CaptureStderr();
    EXPECT_NE(runProgram({"e", out.string(), "tdell"}), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("tdell"), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(ExchangeJobsTest, ExportCancelledStillEndsTheDocument)
{
    global->lang.loadTable(test::runtimeDir(), "cs");
    test::copyTemplateDb(global->settings.dbFile);
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    global->db.InitTagCategories();
    for (const char* code : {"GC1", "GC2"}) {
        CGeocache c;
        c.code = code;
        ASSERT_TRUE(CacheStore(global->db.cacheDb, global->db.tagCategories).InsertCache(c));
    }
    global->list.filter.active = global->list.filter.disabled = global->list.filter.archived = 1;
    global->list.filter.found = global->list.filter.owned = 2;
    std::atomic<bool> cancel{true};
    RecordingJobProgress progress;
    const ExportSummary s = exportGpx(*global, dir / "c.gpx", &progress, &cancel);
    EXPECT_TRUE(s.written);
    EXPECT_TRUE(s.cancelled);
    EXPECT_EQ(s.caches, 0);
    EXPECT_EQ(progress.finishCount(), 1);
    EXPECT_TRUE(test::readFile(dir / "c.gpx").ends_with("</gpx>\n"));

    // A folder that cannot hold the file: said so, nothing left behind.
    const ExportSummary bad = exportGpx(*global, dir / "nowhere" / "c.gpx", nullptr, nullptr);
    EXPECT_FALSE(bad.written);
    EXPECT_EQ(prompter.messages().back().text, "Soubor se nepodařilo otevřít pro zápis.");
}

// The export jobs word their failure in the program's language whatever
// the system's locale (here German) says.
TEST_F(ExchangeJobsTest, AFileThatCannotBeWrittenIsSaidInTheProgramsLanguage)
{
    test::GermanLocale german;
    global->lang.loadTable(test::runtimeDir(), "en");
    test::copyTemplateDb(global->settings.dbFile);
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    global->db.InitTagCategories();
    const ExportSummary gpx = exportGpx(*global, dir / "nowhere" / "c.gpx", nullptr, nullptr);
    EXPECT_FALSE(gpx.written);
    EXPECT_EQ(gpx.error, "The file could not be opened for writing.");
    test::writeFile(dir / "taken", "a file where the folder should be");
    global->settings.fnFile = (dir / "taken" / "fieldnotes.txt").string();
    EXPECT_FALSE(exportFieldNotes(*global, 0));
    ASSERT_EQ(prompter.messages().size(), 2u);
    for (const auto& m : prompter.messages())
        EXPECT_EQ(m.text, "The file could not be opened for writing.");
}

TEST_F(ExchangeJobsTest, CacheFileThatCannotBeReadFailsBothJobs)
{
    const auto gpx = dir / "one.gpx";
    test::writeFile(gpx, "<gpx><wpt lat=\"50\" lon=\"14\"><name>GC1AAAA</name><groundspeak:cache/></wpt></gpx>");
    const auto out = dir / "out.gpx";
    test::writeFile(out, "the export of last week");
    test::copyTemplateDb(dir / "whole.db3");
    const std::string whole = test::readFile(dir / "whole.db3");

    auto temporaryFiles = [&] {
        return std::count_if(std::filesystem::directory_iterator(dir), {}, [](const auto& entry) {
            return entry.path().filename().string().find(".part") != std::string::npos;
        });
    };
    const std::pair<const char*, std::string> files[] = {
        {"text", "these are my caches\n"},
        {"empty", ""},
        {"truncated", whole.substr(0, whole.size() / 2)},
    };
    for (const auto& [kind, bytes] : files) {
        SCOPED_TRACE(kind);
        test::writeFile(global->settings.dbFile, bytes);
        EXPECT_NE(runProgram({"e", out.string()}), 0);
        EXPECT_EQ(test::readFile(out), "the export of last week");
        EXPECT_EQ(temporaryFiles(), 0);
        EXPECT_NE(runProgram({"i", gpx.string()}), 0);
        EXPECT_EQ(test::readFile(global->settings.dbFile), bytes);
    }
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    RecordingJobProgress progress;
    EXPECT_FALSE(exportGpx(*global, out, &progress, nullptr).written);
    EXPECT_EQ(progress.completion(),
              "Databázi keší " + global->settings.dbFile + " nelze přečíst: database disk image is malformed.");
}

TEST_F(ExchangeJobsTest, LastRouteIsLoadedAtStartAndForgottenWhenUnreadable)
{
    test::writeFile(dir / "route.gpx", "<gpx><rte><rtept lat=\"50\" lon=\"14\"/><rtept lat=\"50.1\" lon=\"14\"/></rte></gpx>");
    ASSERT_TRUE(loadRoute(*global, (dir / "route.gpx").string()));
    EXPECT_EQ(global->stateString("LastRoute"), (dir / "route.gpx").string());

    ASSERT_EQ(runProgram({}), 0);
    // The run loaded it again at start-up (the program's own route list).
    test::writeFile(dir / "route.gpx", "<gpx><rte>");
    restart();
    CTarnwickApp app(*global);
    NoWindow ui;
    ASSERT_TRUE(app.InitInstance({}, ui));
    ASSERT_TRUE(global->gpsServices.trackLogger);
    EXPECT_TRUE(global->gpsServices.trackLogger->route.empty());
    EXPECT_EQ(global->stateString("LastRoute"), "");
    EXPECT_EQ(prompter.messages().back().text, global->text(358));
    app.ExitInstance();
}

// A track file of two segments, named as no route file is: both segments are
// lines of their own at the next start; a file that holds no route is said.
TEST_F(ExchangeJobsTest, LastRouteOfAnyFormatKeepsItsLinesApart)
{
    const auto walk = dir / "walk.txt";
    test::writeFile(walk, "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
                          "Reserved 3\r\n0,2,255,Walk,1\r\n4\r\n50.0,14.0,1,0,0,,\r\n50.1,14.1,0,0,0,,\r\n"
                          "49.0,16.0,1,0,0,,\r\n49.1,16.1,0,0,0,,\r\n");
    ASSERT_TRUE(loadRoute(*global, walk.string()));
    restart();
    CTarnwickApp app(*global);
    NoWindow ui;
    ASSERT_TRUE(app.InitInstance({}, ui));
    ASSERT_TRUE(global->gpsServices.trackLogger);
    const auto& route = global->gpsServices.trackLogger->route;
    ASSERT_EQ(route.size(), 2u);
    EXPECT_EQ(route[0].size(), 2u);
    EXPECT_DOUBLE_EQ(route[1][0].lon, 16.0);

    global->lang.loadTable(test::runtimeDir(), "en");
    test::writeFile(dir / "caches.loc", "<?xml version=\"1.0\"?><loc><waypoint><coord lat=\"1\" lon=\"2\"/></waypoint></loc>");
    EXPECT_FALSE(loadRoute(*global, (dir / "caches.loc").string()));
    EXPECT_TRUE(route.empty());
    EXPECT_EQ(global->stateString("LastRoute"), "");
    EXPECT_EQ(prompter.messages().back().text, "The route file cannot be read.");
    app.ExitInstance();
}

TEST_F(ExchangeJobsTest, PublishedNoteCarriesTheFindNumberThroughTheTemplate)
{
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    test::copyTemplateDb(global->settings.dbFile);
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    global->db.InitTagCategories();
    // Four finds before the visit.
    for (int i = 1; i <= 4; ++i) {
        CGeocache c;
        c.code = "GC" + std::to_string(i);
        c.found = 20111120 + i;
        ASSERT_TRUE(CacheStore(global->db.cacheDb, global->db.tagCategories).InsertCache(c));
    }
    std::tm visit{};
    visit.tm_year = 111;
    visit.tm_mon = 10;
    visit.tm_mday = 30;
    visit.tm_hour = 19;
    visit.tm_min = 30;
    visit.tm_isdst = -1;
    const std::time_t when = std::mktime(&visit);
    global->settings.fnTemplate = "#[N] [T] [L]";
    EXPECT_EQ(publishedNoteText(*global, LogType::FoundIt, when, "TFTC"), "TFTC"); // template off
    global->settings.webLogUseFNT = 1;
    EXPECT_EQ(publishedNoteText(*global, LogType::FoundIt, when, "TFTC"), "#5 19:30 TFTC");
    global->settings.findsCountExtra = 100;
    EXPECT_EQ(publishedNoteText(*global, LogType::FoundIt, when, "TFTC"), "#105 19:30 TFTC");
    EXPECT_EQ(publishedNoteText(*global, LogType::DidntFindIt, when, "nic"), "# 19:30 nic");
}

} // namespace
} // namespace tw

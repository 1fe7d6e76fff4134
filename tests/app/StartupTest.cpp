// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CTarnwickApp.h"
#include "app/Version.h"
#include "db/CacheStore.h"
#include "platform/IniFile.h"
#include "tests/app/AppFixture.h"

#include <sqlite3.h>

#include <regex>

namespace tw {
namespace {

class FakeUi final : public StartupUi {
public:
    void showProgress(const std::string& text) override { progress.push_back(text); }
    void closeProgress() override { closed = true; }
    bool createMainWindow() override
    {
        ++windows;
        return true;
    }
    std::vector<std::string> progress;
    bool closed = false;
    int windows = 0;
};

class StartupTest : public test::AppFixture {
protected:
    int count(SQLite::Database& db, const std::string& sql)
    {
        SQLite::Statement q(db, sql);
        EXPECT_EQ(q.Step(), SQLITE_ROW);
        return q.ColumnInt(0);
    }

    // One whole run of the program: start-up, then shutdown.
    int run(const std::vector<std::string>& words, BatchActions actions = {})
    {
        CTarnwickApp app(*global);
        app.batch = std::move(actions);
        started = app.InitInstance(words, ui);
        quit = app.quitRequested();
        return app.ExitInstance();
    }

    FakeUi ui;
    bool started = false;
    bool quit = false;
};

TEST_F(StartupTest, FirstStartCreatesTheDatabasesFromTheTemplate)
{
    test::writeFile(dir / "docs" / "Tarnwick.log", "");
    EXPECT_EQ(run({}), 0);
    EXPECT_TRUE(started);
    EXPECT_EQ(ui.windows, 1);
    EXPECT_TRUE(ui.closed);

    const auto questions = prompter.questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0], global->text(297) + global->settings.dbFile + global->text(298));
    EXPECT_TRUE(prompter.messages().empty());

    SQLite::Database db;
    ASSERT_EQ(db.OpenFile(global->settings.dbFile), SQLITE_OK);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM geocache"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM geocache WHERE id = 'GC0' AND name = 'Tarnwick'"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM geotagcategory"), 8);
    EXPECT_EQ(global->db.cacheCount, 0);
    EXPECT_GT(global->db.dbVersion, 0);

    SQLite::Database tracks;
    ASSERT_EQ(tracks.OpenFile((dir / "data" / "$tarnwick.db3").string()), SQLITE_OK);
    EXPECT_EQ(count(tracks, "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('track_log', 'track_name')"), 2);

    EXPECT_EQ(IniFile(global->settingsPath()).getString("CurrentVersion", "Version"), kProgramVersion);

    const std::string log = test::readFile(dir / "docs" / "Tarnwick.log");
    // Other parts (the track logger) may log in between.
    const std::regex lines("\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} ----- Tarnwick START -----\r\n"
                           "(\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} [^\r\n]*\r\n)*"
                           "\\d{4}-\\d{1,2}-\\d{1,2} \\d{2}:\\d{2}:\\d{2} ----- Tarnwick EXIT -----\r\n");
    EXPECT_TRUE(std::regex_match(log, lines)) << log;

    // The second start finds everything in place: no question, one dummy cache.
    restart();
    prompter.clear();
    run({});
    EXPECT_TRUE(prompter.questions().empty());
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM geocache"), 1);
    EXPECT_EQ(count(db, "SELECT COUNT(*) FROM geotagcategory"), 8);
}

TEST_F(StartupTest, NoLogFileMeansNoLogging)
{
    run({});
    EXPECT_FALSE(std::filesystem::exists(dir / "docs" / "Tarnwick.log"));
}

TEST_F(StartupTest, AnsweringNoRunsWithoutDatabaseAndSaysSoOnce)
{
    prompter.queueAnswer(false);
    run({});
    EXPECT_EQ(ui.windows, 1);
    EXPECT_FALSE(std::filesystem::exists(global->settings.dbFile));
    EXPECT_FALSE(global->db.cacheDb.IsAvailable());
    EXPECT_FALSE(global->db.cacheDb.IsAvailable());
    const auto messages = prompter.messages();
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const auto& m) { return m.text == "Databáze není k dispozici."; }),
              1);
}

TEST_F(StartupTest, DamagedDatabaseIsReportedOncePerStepAndLeftUntouched)
{
    std::string noise;
    for (int i = 0; i < 65536; ++i)
        noise += static_cast<char>((i * 2654435761u) >> 13);
    test::writeFile(global->settings.dbFile, noise);

    run({});
    EXPECT_EQ(ui.windows, 1);
    EXPECT_TRUE(prompter.questions().empty());
    const auto messages = prompter.messages();
    // the two counts (the version reads from the header), tag categories,
    // dummy cache, recent list
    EXPECT_GE(messages.size(), 4u);
    EXPECT_LE(messages.size(), 5u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.icon, MessageIcon::Plain);
        EXPECT_NE(m.text.find("not a database"), std::string::npos) << m.text;
    }
    EXPECT_EQ(test::readFile(global->settings.dbFile), noise);
    EXPECT_FALSE(std::filesystem::exists(global->settings.dbFile + "-journal"));
}

TEST_F(StartupTest, FoundCountIsCountedOnceAndSaved)
{
    test::copyTemplateDb(global->settings.dbFile);
    {
        SQLite::Database db;
        ASSERT_EQ(db.OpenFile(global->settings.dbFile), SQLITE_OK);
        TagCategories none;
        CacheStore store(db, none);
        for (int i = 0; i < 4; ++i) {
            CGeocache c;
            c.code = "GC" + std::to_string(i + 1);
            c.found = i < 3 ? 20111124 : 0;
            ASSERT_TRUE(store.InsertCache(c));
        }
    }
    run({});
    EXPECT_EQ(global->settings.foundCount, 3);
    EXPECT_EQ(global->db.cacheCount, 4);
    EXPECT_EQ(IniFile(global->settingsPath()).getInt("Options", "FoundCount"), 3);

    IniFile ini(global->settingsPath());
    ini.setInt("Options", "FoundCount", 10);
    ASSERT_TRUE(ini.save());
    restart();
    run({});
    EXPECT_EQ(global->settings.foundCount, 10);
}

TEST_F(StartupTest, BatchWordsRunWithoutWindowAndKeepTheStoredFormats)
{
    std::vector<std::string> calls;
    BatchActions actions;
    actions.exportAllTracks = [&](CGlobalData&) {
        calls.push_back("export " + std::to_string(global->settings.trackGPX) +
                        std::to_string(global->settings.trackKML) + std::to_string(global->settings.trackPLT));
        return true;
    };
    actions.deleteAllTracks = [&](CGlobalData&) {
        calls.emplace_back("delete");
        return true;
    };
    global->settings.trackPLT = 1;
    global->SaveSettings(SettingsGroup::TrackExport);

    EXPECT_EQ(run({"tgpx", "tkml", "tdel"}, actions), 0);
    EXPECT_TRUE(quit);
    EXPECT_EQ(ui.windows, 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"export 110", "delete"}));
    EXPECT_EQ(global->settings.trackPLT, 1);
    EXPECT_EQ(IniFile(global->settingsPath()).getInt("Options", "TrackPLT"), 1);
    EXPECT_TRUE(keepAwake.calls().empty()); // no power options without a window
}

TEST_F(StartupTest, ImportOfAMissingFileFailsTheRun)
{
    bool imported = false;
    BatchActions actions;
    actions.importGpx = [&](CGlobalData&, const std::string&) { return imported = true; };
    EXPECT_NE(run({"i", (dir / "nothing.gpx").string()}, actions), 0);
    EXPECT_FALSE(imported);
    EXPECT_TRUE(quit);
}

TEST_F(StartupTest, PowerOptionsAreTakenAndGivenBack)
{
    global->settings.runOnSuspend = 1;
    global->SaveSettings(SettingsGroup::General);
    run({});
    EXPECT_EQ(keepAwake.calls(),
              (std::vector<std::string>{"unattended on", "acquire", "unattended off", "release"}));
}

TEST_F(StartupTest, TemplateNeverReplacesAnExistingFile)
{
    const auto target = dir / "data" / "mine.db3";
    test::writeFile(target, "my precious caches");
    EXPECT_FALSE(copyTemplateDatabase(test::runtimeDir() / "emptydb.db3", target));
    EXPECT_EQ(test::readFile(target), "my precious caches");
    EXPECT_TRUE(copyTemplateDatabase(test::runtimeDir() / "emptydb.db3", dir / "new" / "fresh.db3"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "new"), {}), 1);
}

} // namespace
} // namespace tw

namespace tw {
namespace {

TEST_F(StartupTest, ACounterThatFailsLeavesTheOthersCounted)
{
    test::copyTemplateDb(global->settings.dbFile);
    {
        // A cache table without the found date: only the found count fails.
        SQLite::Database db;
        ASSERT_EQ(db.OpenFile(global->settings.dbFile), SQLITE_OK);
        ASSERT_EQ(db.Exec("PRAGMA user_version = 7"), SQLITE_OK);
        ASSERT_EQ(db.Exec("DROP TABLE geocache"), SQLITE_OK);
        ASSERT_EQ(db.Exec("CREATE TABLE geocache (`key` INTEGER PRIMARY KEY, `id` TEXT)"), SQLITE_OK);
        ASSERT_EQ(db.Exec("INSERT INTO geocache (`id`) VALUES ('GC0'), ('GC1'), ('GC2')"), SQLITE_OK);
    }
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    global->db.ReadDbCounters();
    EXPECT_EQ(global->db.dbVersion, 7);
    EXPECT_EQ(global->db.cacheCount, 2);
    EXPECT_EQ(global->settings.foundCount, 0);
    const auto messages = prompter.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("dtfound"), std::string::npos) << messages[0].text;
    EXPECT_FALSE(IniFile(global->settingsPath()).getInt("Options", "FoundCount").has_value());
}

TEST_F(StartupTest, SwitchingDatabasesReadsTheNewOnesCounters)
{
    test::copyTemplateDb(global->settings.dbFile);
    run({});
    const auto other = dir / "data" / "other.db3";
    test::copyTemplateDb(other);
    {
        SQLite::Database db;
        ASSERT_EQ(db.OpenFile(other.string()), SQLITE_OK);
        TagCategories none;
        for (const char* code : {"GC1", "GC2"}) {
            CGeocache c;
            c.code = code;
            ASSERT_TRUE(CacheStore(db, none).InsertCache(c));
        }
    }
    restart();
    CTarnwickApp app(*global);
    ASSERT_TRUE(app.InitInstance({}, ui));
    EXPECT_EQ(global->db.cacheCount, 0);
    ASSERT_TRUE(global->db.SwitchDatabase(other.string()));
    EXPECT_EQ(global->db.cacheCount, 2);
    EXPECT_GT(global->db.tagCategories.attribute, 0);
    EXPECT_EQ(IniFile(global->settingsPath()).getString("Options", "DbFile"), other.string());
    app.ExitInstance();
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
// The batch word "find": what it prints, what it says, how the run ends.
#include "app/BatchMode.h"
#include "app/CTarnwickApp.h"
#include "app/CTarnwickCommandLine.h"
#include "db/FullText.h"
#include "platform/Text.h"
#include "tests/app/AppFixture.h"

#include <sqlite3.h>

#include <cstdio>

namespace tw {
namespace {

class FindWordTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        if (!fulltext::Supported())
            GTEST_SKIP() << "this SQLite has no FTS5";
        global->LoadSettings(SettingsGroup::All); // and the texts
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
        CacheStore store = global->db.cacheStore();
        CGeocache bench;
        bench.code = "GC1A";
        bench.name = "Bench\twith\x01 a\x7f view";
        bench.longDesc = "<p>The magnetic <b>plaque</b> is on the back.</p>";
        bench.longDescHtml = 1;
        ASSERT_TRUE(store.InsertCache(bench));
        CGeocache mill;
        mill.code = "GC2B";
        mill.name = "Old mill";
        mill.hint = "magnetic, under the step";
        ASSERT_TRUE(store.InsertCache(mill));
    }

    struct Run {
        bool ok = false;
        std::string out;
        std::string err;
    };

    Run find(const std::string& query)
    {
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        Run run;
        run.ok = findCaches(*global, query, out, err);
        run.out = contents(out);
        run.err = contents(err);
        return run;
    }

    static std::string contents(std::FILE* file)
    {
        std::string text;
        std::rewind(file);
        for (int c; (c = std::fgetc(file)) != EOF;)
            text += static_cast<char>(c);
        std::fclose(file);
        return text;
    }
};

TEST_F(FindWordTest, PrintsEveryMatchOnALineOfItsOwnBestFirst)
{
    const Run run = find("magnetic");
    EXPECT_TRUE(run.ok);
    EXPECT_TRUE(run.err.empty()) << run.err;
    // The word in the hint of a short text ranks before the listing.
    EXPECT_EQ(run.out, "GC2B\tOld mill\t[magnetic], under the step\n"
                       "GC1A\tBench with a view\tThe [magnetic] plaque is on the back.\n");
}

TEST_F(FindWordTest, SaysWhyNothingWasFoundAndFails)
{
    const Run none = find("fountain");
    EXPECT_FALSE(none.ok);
    EXPECT_TRUE(none.out.empty());
    EXPECT_NE(none.err.find(text::fillIn(global->text(1235), {"fountain"})), std::string::npos) << none.err;

    const Run empty = find("- \"\"");
    EXPECT_FALSE(empty.ok);
    EXPECT_NE(empty.err.find(global->text(1233)), std::string::npos) << empty.err;
}

TEST_F(FindWordTest, BuildsAMissingIndexFirst)
{
    ASSERT_EQ(global->db.cacheDb.Exec("DROP TABLE `cachetext_state`"), SQLITE_OK);
    ASSERT_FALSE(fulltext::Ready(global->db.cacheDb));
    const Run run = find("plaque");
    EXPECT_TRUE(run.ok);
    EXPECT_NE(run.err.find(global->text(1231)), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "GC1A\tBench with a view\tThe magnetic [plaque] is on the back.\n");
    EXPECT_TRUE(fulltext::Ready(global->db.cacheDb));
}

TEST_F(FindWordTest, TheQueryIsTheWordAfterFindWhateverItReadsLike)
{
    CTarnwickCommandLine cl;
    cl.parse({"--find", "-i", "i", "pq.gpx"});
    EXPECT_TRUE(cl.isBatch());
    EXPECT_EQ(cl.find, 1);
    EXPECT_EQ(cl.findQuery, "-i");
    EXPECT_EQ(cl.importFile, "pq.gpx");
    EXPECT_TRUE(cl.unknownWords.empty());
}

// The whole run, as `tarnwick find QUERY` makes it: 0 with a match, 1
// without.
TEST_F(FindWordTest, TheRunEndsWithTheResult)
{
    global->db.cacheDb.Close();
    class Ui final : public StartupUi {
        void showProgress(const std::string&) override {}
        void closeProgress() override {}
        bool createMainWindow() override { return false; }
    } ui;
    auto exitCode = [&](const std::string& query, std::string& printed) {
        restart();
        global->LoadSettings(SettingsGroup::All);
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_TRUE(app.InitInstance({"find", query}, ui));
        const int code = app.ExitInstance();
        printed = testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        return code;
    };
    std::string printed;
    EXPECT_EQ(exitCode("hint:step", printed), 0);
    EXPECT_EQ(printed, "GC2B\tOld mill\tmagnetic, under the [step]\n");
    EXPECT_EQ(exitCode("hint:plaque", printed), 1);
    EXPECT_TRUE(printed.empty()) << printed;
}

} // namespace
} // namespace tw

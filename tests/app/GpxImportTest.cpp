// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"
#include "app/GpxImport.h"
#include "app/CTarnwickApp.h"
#include "platform/RecordingJobProgress.h"
#include "platform/Text.h"
#include "tests/app/AppFixture.h"

#include <sqlite3.h>

namespace tw {
namespace {

class GpxImportJobTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        TW_REQUIRE_CORPUS();
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
    }

    int count(const std::string& sql)
    {
        SQLite::Statement q(global->db.cacheDb, sql);
        EXPECT_EQ(q.Step(), SQLITE_ROW);
        return q.ColumnInt(0);
    }

    std::filesystem::path gpx(const char* name) { return test::corpusDir() / "gpx" / name; }
};

TEST_F(GpxImportJobTest, MainFileTakesItsWaypointsFileAlong)
{
    // The pair must lie side by side under the names the import looks for.
    std::filesystem::copy_file(gpx("gc31j2h.gpx"), dir / "pq.gpx");
    std::filesystem::copy_file(gpx("gc31j2h_wpts.gpx"), dir / "pq-wpts.gpx");
    RecordingJobProgress progress;
    const ImportSummary s = importGpx(*global, dir / "pq.gpx", &progress, nullptr);
    EXPECT_TRUE(s.complete);
    EXPECT_EQ(s.newCaches, 1);
    EXPECT_EQ(s.waypoints, 2);
    EXPECT_EQ(progress.counter(1), 1);
    EXPECT_EQ(progress.counter(2), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE id = 'GC31J2H' AND flag = 1"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geolog WHERE id = 'GC31J2H'"), 6);
    EXPECT_EQ(global->db.cacheCount, 1);

    // Again, with only new caches wanted: skipped, and still marked as imported.
    const ImportSummary again = importGpx(*global, dir / "pq.gpx", nullptr, nullptr);
    EXPECT_EQ(again.newCaches, 0);
    EXPECT_EQ(again.skipped, 1);
    EXPECT_EQ(again.notCaches, 0);
    EXPECT_EQ(importCompletionText(*global, again),
              global->text(252) + " " + text::replaceAll(global->text(1172), "%d", "1"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id = 'GC31J2H'"), 1);
    EXPECT_GE(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC31J2H' AND ptrkat = " +
                    std::to_string(global->db.tagCategories.lastImport)),
              1);
}

TEST_F(GpxImportJobTest, ZippedPocketQuery)
{
    const ImportSummary s = importGpx(*global, gpx("pq7545915.zip"), nullptr, nullptr);
    EXPECT_TRUE(s.error.empty()) << s.error;
    EXPECT_TRUE(s.complete);
    EXPECT_GT(s.newCaches, 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id <> 'GC0'"), s.newCaches);
    EXPECT_EQ(s.waypoints + s.skipped, count("SELECT COUNT(*) FROM waypoint") + s.skipped);
}

TEST_F(GpxImportJobTest, WaypointsAloneFindNoCache)
{
    const ImportSummary s = importGpx(*global, gpx("gc31j2h_wpts.gpx"), nullptr, nullptr);
    EXPECT_EQ(s.newCaches, 0);
    EXPECT_EQ(s.waypoints, 0);
    // Not "skipped", which says the cache is already there: they belong to none.
    EXPECT_EQ(s.skipped, 0);
    EXPECT_EQ(s.notCaches, 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint"), 0);
    EXPECT_EQ(importCompletionText(*global, s),
              global->text(252) + " " + text::replaceAll(global->text(1171), "%d", "2"));
}

TEST_F(GpxImportJobTest, CancelledOrTruncatedImportsKeepWhatWasStored)
{
    std::atomic<bool> cancel{true};
    const ImportSummary cancelled = importGpx(*global, gpx("GC2T9RW.gpx"), nullptr, &cancel);
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_EQ(cancelled.newCaches + cancelled.skipped + cancelled.waypoints, 1);
    EXPECT_EQ(importCompletionText(*global, cancelled), global->text(261));

    const ImportSummary cut = importGpx(*global, gpx("gc31j2h_err.gpx"), nullptr, nullptr);
    EXPECT_FALSE(cut.complete);
    EXPECT_EQ(importCompletionText(*global, cut), global->text(260));

    const ImportSummary missing = importGpx(*global, dir / "none.gpx", nullptr, nullptr);
    EXPECT_FALSE(missing.error.empty());
}

TEST_F(GpxImportJobTest, BatchWordFailsOnATruncatedFile)
{
    global->db.cacheDb.Close();
    class Ui final : public StartupUi {
        void showProgress(const std::string&) override {}
        void closeProgress() override {}
        bool createMainWindow() override { return false; }
    } ui;
    {
        // The application object ends before the central object it serves.
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        ASSERT_TRUE(app.InitInstance({"i", gpx("gc31j2h_err.gpx").string()}, ui));
        EXPECT_NE(app.ExitInstance(), 0);
    }

    restart();
    CTarnwickApp good(*global);
    good.batch = defaultBatchActions();
    ASSERT_TRUE(good.InitInstance({"i", gpx("GC52BKF.gpx").string()}, ui));
    EXPECT_EQ(good.ExitInstance(), 0);
    EXPECT_EQ(global->db.cacheCount, 1);
}

TEST_F(GpxImportJobTest, BatchOutputCountsCachesThereApartFromEntriesThatAreNone)
{
    global->db.cacheDb.Close();
    class Ui final : public StartupUi {
        void showProgress(const std::string&) override {}
        void closeProgress() override {}
        bool createMainWindow() override { return false; }
    } ui;
    const auto runBatch = [&](const std::filesystem::path& file) {
        restart();
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(app.InitInstance({"i", file.string()}, ui));
        EXPECT_EQ(app.ExitInstance(), 0);
        return ::testing::internal::GetCapturedStderr();
    };
    runBatch(gpx("gc31j2h.gpx"));
    const std::string again = runBatch(gpx("gc31j2h.gpx"));
    EXPECT_NE(again.find(global->text(1170) + ": 1"), std::string::npos) << again;
    EXPECT_NE(again.find(text::replaceAll(global->text(1172), "%d", "1")), std::string::npos) << again;
    EXPECT_EQ(again.find(global->text(264)), std::string::npos) << again;
    // A waypoint whose cache is missing: left out, nothing "already there".
    test::writeFile(dir / "stray.gpx", "<gpx><wpt lat=\"1\" lon=\"2\"><name>S1ZZZZ9</name></wpt></gpx>");
    const std::string stray = runBatch(dir / "stray.gpx");
    EXPECT_NE(stray.find(global->text(1170) + ": 0"), std::string::npos) << stray;
    EXPECT_NE(stray.find(text::replaceAll(global->text(1171), "%d", "1")), std::string::npos) << stray;
}

} // namespace
} // namespace tw

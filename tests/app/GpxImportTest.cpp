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

// The variant of the waypoints file names Station 1 "S2" where the first
// names it "S1", with the same identifier of the site and no position.
TEST_F(GpxImportJobTest, AStationWithoutAPositionIsTheStationItIdentifies)
{
    const std::string station = "SELECT COUNT(*) FROM waypoint WHERE id = 'GC31J2H' AND name = 'Station 1'";
    const std::string placed = station + " AND x = 49.3175 AND y = 8.5451";
    std::filesystem::copy_file(gpx("gc31j2h.gpx"), dir / "pq.gpx");
    std::filesystem::copy_file(gpx("gc31j2h_wpts.gpx"), dir / "pq-wpts.gpx");
    ASSERT_EQ(importGpx(*global, dir / "pq.gpx", nullptr, nullptr).waypoints, 2);
    const ImportSummary s = importGpx(*global, gpx("gc31j2h_wpts_empty_coord.gpx"), nullptr, nullptr);
    EXPECT_EQ(s.waypoints, 0);
    EXPECT_EQ(count(station), 1);
    EXPECT_EQ(count(placed), 1);

    // The other way round the station comes without a position first and
    // gets it from the later file.
    ASSERT_EQ(global->db.cacheDb.Exec("DELETE FROM waypoint"), SQLITE_OK);
    EXPECT_EQ(importGpx(*global, gpx("gc31j2h_wpts_empty_coord.gpx"), nullptr, nullptr).waypoints, 2);
    EXPECT_EQ(count(station + " AND x = 0 AND y = 0"), 1);
    EXPECT_EQ(importGpx(*global, gpx("gc31j2h_wpts.gpx"), nullptr, nullptr).waypoints, 0);
    EXPECT_EQ(count(station), 1);
    EXPECT_EQ(count(placed), 1);
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

// A file that is no GPX file says what it is instead, and stores nothing; a
// truncated GPX file keeps its own message (above).
TEST_F(GpxImportJobTest, FilesThatAreNoGpxFilesSayWhatTheyAre)
{
    const auto refused = [&](const std::filesystem::path& file) {
        const ImportSummary s = importGpx(*global, file, nullptr, nullptr);
        EXPECT_FALSE(s.complete) << file;
        EXPECT_EQ(s.newCaches + s.updated + s.skipped + s.waypoints, 0) << file;
        return importCompletionText(*global, s);
    };
    EXPECT_EQ(refused(gpx("geocaching.loc")),
              "geocaching.loc is not a GPX file: it starts with <loc version=\"1.0\" src=\"EasyGPS\">.");

    test::writeFile(dir / "caches.txt", "GC1ABCD\tN 50\xC2\xB0 05.123 E 014\xC2\xB0 25.456\r\nGC2\x01 \xF0\x9F\x93\xAF <b>\n");
    EXPECT_EQ(refused(dir / "caches.txt"),
              "caches.txt is not a GPX file: it starts with the text \u201CGC1ABCD N 50\u00B0 05.123 E 014\u00B0 "
              "25.456 GC2 \xF0\x9F\x93\xAF\u201D.");
    test::writeFile(dir / "long.txt", std::string(100, 'z'));
    EXPECT_EQ(refused(dir / "long.txt"),
              "long.txt is not a GPX file: it starts with the text \u201C" + std::string(60, 'z') + "\u2026\u201D.");

    // The first element after the declaration, a comment and a document
    // type, its attributes cut short.
    test::writeFile(dir / "kml.gpx", "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!-- made by hand -->\n<!DOCTYPE kml>\n"
                                     "<kml xmlns=\"http://www.opengis.net/kml/2.2\" a=\"b\"><Document/></kml>");
    EXPECT_EQ(refused(dir / "kml.gpx"),
              "kml.gpx is not a GPX file: it starts with <kml xmlns=\"http://www.opengis.net/kml/2.2\" a=\"b\">.");
    test::writeFile(dir / "wide.gpx", "<rss version=\"2.0\" title=\"" + std::string(100, 'w') + "\">");
    EXPECT_EQ(refused(dir / "wide.gpx"), "wide.gpx is not a GPX file: it starts with <rss version=\"2.0\" title=\"" +
                                             std::string(34, 'w') + "\u2026>.");

    for (const char* bytes : {"", "  \r\n", "<?xml version=\"1.0\"?><!-- nothing -->"}) {
        test::writeFile(dir / "empty.gpx", bytes);
        EXPECT_EQ(refused(dir / "empty.gpx"), "empty.gpx is not a GPX file: it holds no XML element.") << bytes;
    }

    // A GPX file with a prefix on its root element, and one cut short
    // before its first entry, are GPX files.
    test::writeFile(dir / "prefixed.gpx", "<g:gpx xmlns:g=\"http://www.topografix.com/GPX/1/0\"></g:gpx>");
    EXPECT_EQ(refused(dir / "prefixed.gpx"), global->text(260));
    test::writeFile(dir / "cut.gpx", "<?xml version=\"1.0\"?><gpx version=\"1.0\"");
    EXPECT_EQ(refused(dir / "cut.gpx"), global->text(260));
}

// A start without a window, as a batch word runs.
class BatchUi final : public StartupUi {
    void showProgress(const std::string&) override {}
    void closeProgress() override {}
    bool createMainWindow() override { return false; }
};

TEST_F(GpxImportJobTest, BatchWordFailsOnATruncatedFile)
{
    global->db.cacheDb.Close();
    BatchUi ui;
    {
        // The application object ends before the central object it serves.
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        ASSERT_TRUE(app.InitInstance({"i", gpx("gc31j2h_err.gpx").string()}, ui));
        EXPECT_NE(app.ExitInstance(), 0);
    }
    {
        // So does a file that is no GPX file, saying so.
        restart();
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        testing::internal::CaptureStderr();
        const bool started = app.InitInstance({"i", gpx("geocaching.loc").string()}, ui);
        const int exitCode = app.ExitInstance();
        const std::string err = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(started);
        EXPECT_NE(exitCode, 0);
        EXPECT_NE(err.find(text::fillIn(global->text(1160), {"geocaching.loc", "<loc version=\"1.0\" src=\"EasyGPS\">"})),
                  std::string::npos)
            << err;
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
    BatchUi ui;
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

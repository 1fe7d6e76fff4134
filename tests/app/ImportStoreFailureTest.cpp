// SPDX-License-Identifier: GPL-3.0-or-later
// What an import does to the database when the database cannot take it, and
// what it must never touch.
#include "app/BatchMode.h"
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "db/CacheReader.h"
#include "app/CTarnwickApp.h"
#include "db/CacheStore.h"
#include "db/FullText.h"
#include "exchange/GpxWriter.h"
#include "platform/RecordingJobProgress.h"
#include "platform/Signals.h"
#include "tests/app/AppFixture.h"
#include "tests/app/SmallDisk.h"

#include <sqlite3.h>

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <random>

namespace tw {
namespace {

namespace fs = std::filesystem;

// A pocket query of `count` caches whose descriptions hardly compress, so
// that every cache takes a few kilobytes of the database.
void writePocketQuery(const fs::path& path, int count, int first = 0, std::size_t descLength = 3000)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::mt19937 rng(static_cast<unsigned>(first + 1));
    GpxWriter writer(out);
    writer.header(0);
    for (int i = first; i < first + count; ++i) {
        CGeocache c;
        c.code = "GC" + std::to_string(10000 + i);
        c.name = "Cache " + std::to_string(i);
        c.lat = 49.0 + i * 1e-4;
        c.lon = 8.5;
        c.type = CacheType::Traditional;
        c.longDesc.resize(descLength);
        for (char& ch : c.longDesc)
            ch = static_cast<char>('a' + rng() % 26);
        writer.cache(c);
    }
    writer.footer();
    std::fclose(out);
}

class ImportStoreFailureTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        global->LoadSettings(SettingsGroup::All); // and the texts
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

    std::string integrity()
    {
        SQLite::Statement q(global->db.cacheDb, "PRAGMA integrity_check");
        return q.Next() ? q.ColumnText(0) : std::string();
    }

    // A real full disk: a small tmpfs, mounted in a mount namespace of this
    // process's own so that nobody else sees it, with the cache database on
    // it. Skips the test where no tmpfs can be mounted (not root).
    void mountSmallDisk(std::uintmax_t bytes)
    {
        disk = dir / "disk";
        if (const std::string why = smallDisk.mount(disk, bytes); !why.empty())
            GTEST_SKIP() << why;
        global->db.cacheDb.Close();
        global->settings.dbFile = (disk / "cachedb.db3").string();
        global->SaveSettings(SettingsGroup::General);
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
    }

    void TearDown() override
    {
        global->db.cacheDb.Close();
        smallDisk.unmount();
        AppFixture::TearDown();
    }

    fs::path disk;
    test::SmallDisk smallDisk;

    // The summary of a store that broke down after storing some entries.
    void expectStoppedPartway(const ImportSummary& s, int total)
    {
        EXPECT_TRUE(s.stopped);
        EXPECT_FALSE(s.complete);
        EXPECT_GT(s.newCaches, 0);
        EXPECT_GE(s.failed, 1);
        EXPECT_EQ(s.skipped, 0); // a failure is no skip
        EXPECT_LT(s.newCaches + s.failed, total) << "every later entry was tried";
        EXPECT_NE(s.storeError.find("full"), std::string::npos) << s.storeError;
    }
};

TEST_F(ImportStoreFailureTest, FullDatabaseStopsTheImportAndKeepsWhatWasStored)
{
    writePocketQuery(dir / "pq.gpx", 1000);
    // A batch that fails in the full-text index is rolled back whole, which
    // gives its room back: the second file is larger than that room.
    writePocketQuery(dir / "more.gpx", 1000, 2000);
    // Room for a few dozen caches with their words in the full-text index
    // (each description is one word of 3,000 letters, which the index holds
    // whole).
    const int pages = count("PRAGMA page_count");
    ASSERT_EQ(global->db.cacheDb.Exec("PRAGMA max_page_count = " + std::to_string(pages + 400)), SQLITE_OK);

    RecordingJobProgress progress;
    const ImportSummary s = importGpx(*global, dir / "pq.gpx", &progress, nullptr);
    expectStoppedPartway(s, 1000);
    EXPECT_EQ(progress.counter(1), s.newCaches);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), s.newCaches);
    EXPECT_EQ(integrity(), "ok");
    const std::string text = importCompletionText(*global, s);
    EXPECT_NE(text.find(std::to_string(s.failed)), std::string::npos) << text;
    EXPECT_NE(text.find(s.storeError), std::string::npos) << text;

    // Full again soon: an error, and the batch word fails the run.
    const ImportSummary full = importGpx(*global, dir / "more.gpx", nullptr, nullptr);
    EXPECT_TRUE(full.stopped);
    EXPECT_GE(full.failed, 1);
    EXPECT_EQ(full.skipped, 0);
    EXPECT_FALSE(defaultBatchActions().importGpx(*global, (dir / "more.gpx").string()));
    EXPECT_EQ(integrity(), "ok");
}

TEST_F(ImportStoreFailureTest, FullDiskStopsTheImportAndTheBatchRun)
{
    const auto templateSize = fs::file_size(test::runtimeDir() / "emptydb.db3");
    // Room for some of the import, the full-text index included.
    mountSmallDisk(templateSize + 3 * 1024 * 1024);
    if (IsSkipped() || HasFatalFailure())
        return;
    writePocketQuery(dir / "pq.gpx", 600);
    writePocketQuery(dir / "more.gpx", 600, 1000);

    const ImportSummary s = importGpx(*global, dir / "pq.gpx", nullptr, nullptr);
    expectStoppedPartway(s, 600);
    global->db.cacheDb.Close();

    // The disk is full now: `tarnwick i FILE` says so and exits non-zero.
    // (What it may still store goes into the room the log kept from the
    // batch that did not fit.)
    class Ui final : public StartupUi {
        void showProgress(const std::string&) override {}
        void closeProgress() override {}
        bool createMainWindow() override { return false; }
    } ui;
    bool started = false;
    int exitCode = 0;
    std::string err;
    {
        // The application object ends before the central object it serves.
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        testing::internal::CaptureStderr();
        started = app.InitInstance({"i", (dir / "more.gpx").string()}, ui);
        exitCode = app.ExitInstance();
        err = testing::internal::GetCapturedStderr();
    }
    ASSERT_TRUE(started);
    EXPECT_NE(exitCode, 0);
    EXPECT_NE(err.find(global->text(267).substr(0, 20)), std::string::npos) << err;

    restart();
    ASSERT_EQ(global->db.cacheDb.OpenFile((disk / "cachedb.db3").string()), SQLITE_OK);
    EXPECT_EQ(integrity(), "ok");
    const std::string firstFile = "SELECT COUNT(*) FROM geocache WHERE id BETWEEN 'GC10000' AND 'GC10599'";
    EXPECT_EQ(count(firstFile), s.newCaches);

    // With room again, the same import stores the rest.
    const std::string larger = "size=" + std::to_string(templateSize + 16 * 1024 * 1024);
    ASSERT_EQ(::mount(nullptr, disk.c_str(), nullptr, MS_REMOUNT, larger.c_str()), 0) << std::strerror(errno);
    const ImportSummary again = importGpx(*global, dir / "pq.gpx", nullptr, nullptr);
    EXPECT_TRUE(again.complete);
    EXPECT_FALSE(again.stopped);
    EXPECT_EQ(again.failed, 0);
    EXPECT_EQ(count(firstFile), 600);
    EXPECT_EQ(integrity(), "ok");
    global->db.cacheDb.Close();
}

// An import that filled the disk leaves a large write-ahead log behind, whose
// index needs more room than the disk has when the database is opened again.
// What was stored stays readable all the same (list, listing, export), before
// any room is made.
TEST_F(ImportStoreFailureTest, AFullDiskKeepsTheDatabaseReadable)
{
    const auto templateSize = fs::file_size(test::runtimeDir() / "emptydb.db3");
    mountSmallDisk(templateSize + 24 * 1024 * 1024);
    if (IsSkipped() || HasFatalFailure())
        return;
    writePocketQuery(dir / "pq.gpx", 7000, 0, 6000);
    const ImportSummary s = importGpx(*global, dir / "pq.gpx", nullptr, nullptr);
    EXPECT_TRUE(s.stopped);
    EXPECT_GT(s.newCaches, 0);
    global->db.cacheDb.Close();
    ASSERT_GT(fs::file_size(disk / "cachedb.db3-wal"), 17u * 1024 * 1024)
        << "the log outgrew what the first block of its index describes";
    // Whatever room the index file gives back when it is opened again is
    // taken at once by another writer (another file on the card, the track
    // log): the index can then hold only the first block of the log.
    fs::resize_file(disk / "cachedb.db3-shm", 32 * 1024);
    smallDisk.fill();

    // A later run, on the same full disk.
    restart();
    global->LoadSettings(SettingsGroup::All);
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    EXPECT_TRUE(global->db.cacheDb.privateLogIndex());
    EXPECT_EQ(integrity(), "ok");
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GC1%'"), s.newCaches);
    global->db.InitTagCategories();
    global->list.filter.active = global->list.filter.disabled = global->list.filter.archived = 1;
    global->list.filter.found = global->list.filter.owned = 2;
    global->list.readCaches();
    EXPECT_EQ(global->list.listedCount, std::min(s.newCaches, global->settings.maxRows));
    const auto listing = LoadCacheByCode(global->db.cacheDb, "GC10007");
    ASSERT_TRUE(listing.has_value());
    CGeocache cache = *listing;
    loadDetails(global->db.cacheDb, cache, global->db.tagCategories);
    EXPECT_EQ(cache.longDesc.size(), 6000u);
    const ExportSummary exported = exportGpx(*global, dir / "out.gpx", nullptr, nullptr);
    EXPECT_TRUE(exported.written) << exported.error;
    EXPECT_EQ(exported.caches, s.newCaches);
    // Another import says the disk is full, and changes nothing.
    const ImportSummary more = importGpx(*global, dir / "pq.gpx", nullptr, nullptr);
    EXPECT_FALSE(more.complete);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GC1%'"), s.newCaches);
    EXPECT_EQ(integrity(), "ok");

    // With room again, the database is shared as before and takes the rest.
    global->db.cacheDb.Close();
    // The import wrote its log up to the last byte of the disk, so the filler
    // holds nothing: room is made by a larger disk, as a user frees room on
    // the card.
    smallDisk.makeRoom();
    const std::string larger = "size=" + std::to_string(templateSize + 64 * 1024 * 1024);
    ASSERT_EQ(::mount(nullptr, disk.c_str(), nullptr, MS_REMOUNT, larger.c_str()), 0) << std::strerror(errno);
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    EXPECT_FALSE(global->db.cacheDb.privateLogIndex());
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GC1%'"), s.newCaches);
    // The index kept up with the caches that were stored, and only with them.
    EXPECT_EQ(fulltext::checkAtOpen(global->db.cacheDb), fulltext::State::Ready);
    EXPECT_EQ(global->db.cacheDb.Exec("INSERT INTO cachetext (cachetext) VALUES ('integrity-check')"), SQLITE_OK)
        << global->db.cacheDb.errorText();
}

// An import lets the write-ahead log grow, and copies it into the file at
// its end: the database file alone then holds every cache.
TEST_F(ImportStoreFailureTest, AnImportEndsWithItsCachesInTheFileAndTheUsualCheckpoints)
{
    writePocketQuery(dir / "pq.gpx", 1500);
    const ImportSummary s = importGpx(*global, dir / "pq.gpx", nullptr, nullptr);
    ASSERT_TRUE(s.complete);
    EXPECT_EQ(count("PRAGMA wal_autocheckpoint"), 1000);
    const fs::path copy = dir / "file-alone.db3";
    fs::copy_file(global->settings.dbFile, copy);
    SQLite::Database alone;
    ASSERT_EQ(alone.OpenFile(copy.string()), SQLITE_OK);
    SQLite::Statement q(alone, "SELECT COUNT(*) FROM geocache WHERE id <> 'GC0'");
    ASSERT_TRUE(q.Next());
    EXPECT_EQ(q.ColumnInt(0), 1500);
}

TEST_F(ImportStoreFailureTest, ReimportsKeepOneLastImportTagPerCache)
{
    writePocketQuery(dir / "pq.gpx", 25);
    const std::string tags =
        "SELECT COUNT(*) FROM geotag WHERE ptrkat = " + std::to_string(global->db.tagCategories.lastImport);
    for (const int onlyNew : {1, 0, 1}) {
        global->settings.impOnlyNew = onlyNew; // 0: each cache replaced
        const ImportSummary s = importGpx(*global, dir / "pq.gpx", nullptr, nullptr);
        EXPECT_EQ(s.newCaches + s.updated + s.skipped, 25);
        EXPECT_EQ(count(tags), 25);
    }
}

TEST_F(ImportStoreFailureTest, TheDummyCacheAndItsWaypointsAreNeverImportedOver)
{
    global->db.LoadDummyCache();
    CacheStore store(global->db.cacheDb, global->db.tagCategories, 0);
    CWaypoint own;
    own.code = kDummyCacheCode;
    own.prefix = "PK";
    own.name = "my parking";
    ASSERT_TRUE(store.InsertWaypoint(own));

    global->settings.impOnlyNew = 0;
    test::writeFile(dir / "gc0.gpx",
                    "<gpx><wpt lat=\"1\" lon=\"2\"><name>GC0</name><groundspeak:cache>"
                    "<groundspeak:name>Imported</groundspeak:name></groundspeak:cache></wpt>"
                    "<wpt lat=\"1\" lon=\"2\"><name>PK0</name><desc>imported parking</desc></wpt>"
                    "<wpt lat=\"1\" lon=\"2\"><name>FN0</name><desc>imported final</desc></wpt></gpx>");
    const ImportSummary s = importGpx(*global, dir / "gc0.gpx", nullptr, nullptr);
    // The dummy cache is there and left alone; its waypoints in a file
    // belong to no cache the import may touch.
    EXPECT_EQ(s.skipped, 1);
    EXPECT_EQ(s.notCaches, 2);
    EXPECT_EQ(s.updated + s.newCaches + s.waypoints + s.failed, 0);

    EXPECT_EQ(LoadCacheByCode(global->db.cacheDb, kDummyCacheCode)->name, "Tarnwick");
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE id = 'GC0' AND name = 'my parking' AND flag = 0"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC0'"), 0);
}

TEST_F(ImportStoreFailureTest, TerminationEndsABatchImportAfterTheEntry)
{
    writePocketQuery(dir / "pq.gpx", 50);
    // The signal flag stays set for the rest of a process: a child takes it.
    global->db.cacheDb.Close();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        global->db.cacheDb.OpenFile(global->settings.dbFile);
        global->db.InitTagCategories();
        installTerminationHandler();
        std::raise(SIGTERM);
        const bool ok = defaultBatchActions().importGpx(*global, (dir / "pq.gpx").string());
        global->db.cacheDb.Close();
        std::_Exit(ok ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 1);
}

} // namespace
} // namespace tw

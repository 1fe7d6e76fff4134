// SPDX-License-Identifier: GPL-3.0-or-later
// Work killed at a random moment (a flat battery, the system ending the
// program) leaves every file whole: each child process below does one kind
// of writing over and over, reports through a pipe what it has finished, and
// is killed with SIGKILL; the parent then checks the files.
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/FullText.h"
#include "db/SqlError.h"
#include "db/Statement.h"
#include "db/Tags.h"
#include "exchange/CGpxImporter.h"
#include "exchange/CacheImportStore.h"
#include "exchange/GpxWriter.h"
#include "gps/CTrackLogger.h"
#include "maps/TileDatabase.h"
#include "platform/IniFile.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "xml/CUtf8FileSource.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <functional>
#include <iostream>
#include <random>

namespace tw {
namespace {

namespace fs = std::filesystem;

constexpr int kRuns = 30;

// Tells the parent that `n` units of work are finished for good.
void report(int fd, long n)
{
    const std::string line = std::to_string(n) + "\n";
    if (::write(fd, line.data(), line.size()) < 0)
        _exit(3);
}

// The last number a killed child reported; -1 when none.
long lastReport(int fd)
{
    std::string all;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        all.append(buf, static_cast<std::size_t>(n));
    long last = -1;
    std::size_t end = all.rfind('\n');
    if (end != std::string::npos) {
        const std::size_t start = all.rfind('\n', end - 1);
        last = std::stol(all.substr(start == std::string::npos ? 0 : start + 1, end));
    }
    return last;
}

class KillTest : public test::TempDirTest {
protected:
    // Runs work in a child, kills it after a random pause and returns what
    // it reported last.
    long killDuring(const std::function<void(int fd)>& work, int run)
    {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        EXPECT_NE(child, -1);
        if (child == 0) {
            ::close(fds[0]);
            work(fds[1]);
            _exit(0);
        }
        ::close(fds[1]);
        std::uniform_int_distribution<int> delayUs(2000, 60000);
        ::usleep(static_cast<useconds_t>(delayUs(m_random)));
        ::kill(child, SIGKILL);
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status)) << "the child ended by itself in run " << run;
        const long last = lastReport(fds[0]);
        ::close(fds[0]);
        return last;
    }

    static void expectIntact(const fs::path& path, int run)
    {
        SQLite::Database db;
        ASSERT_EQ(db.OpenFile(path.string()), SQLITE_OK) << "run " << run;
        SQLite::Statement check(db, "PRAGMA integrity_check");
        ASSERT_TRUE(check.Next());
        EXPECT_EQ(check.ColumnText(0), "ok") << "run " << run;
    }

    // The full-text index agrees with the rows it was made of, and covers
    // every cache.
    static void expectIndexIntact(const fs::path& path, int run)
    {
        SQLite::Database db;
        ASSERT_EQ(db.OpenFile(path.string()), SQLITE_OK) << "run " << run;
        EXPECT_EQ(db.Exec("INSERT INTO `cachetext` (`cachetext`) VALUES ('integrity-check')"), SQLITE_OK)
            << db.errorText() << ", run " << run;
        EXPECT_TRUE(fulltext::Ready(db)) << "run " << run;
    }

    static long count(const fs::path& path, const std::string& sql)
    {
        try {
            SQLite::Database db;
            if (db.OpenFile(path.string()) != SQLITE_OK)
                return -1;
            SQLite::Statement q(db, sql);
            return q.Next() ? q.ColumnInt(0) : -1;
        } catch (const SQLite::Error&) {
            return -1;
        }
    }

    std::mt19937 m_random{20261207};
};

TEST_F(KillTest, ImportKilledKeepsTheDatabaseWholeAndItsCommittedCaches)
{
    const fs::path gpx = dir / "pq.gpx";
    {
        std::FILE* out = std::fopen(gpx.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        GpxWriter writer(out);
        writer.header(0);
        for (int i = 0; i < 3000; ++i) {
            CGeocache c;
            c.code = "GC" + std::to_string(20000 + i);
            c.name = "Cache " + std::to_string(i);
            c.lat = 49.0 + i * 1e-4;
            c.lon = 8.5;
            c.longDesc = std::string(1500, static_cast<char>('a' + i % 26));
            writer.cache(c);
        }
        writer.footer();
        std::fclose(out);
    }
    const fs::path path = dir / "cachedb.db3";
    test::copyTemplateDb(path);
    long before = 0;
    for (int run = 0; run < kRuns; ++run) {
        killDuring(
            [&](int) {
                SQLite::Database db;
                if (db.OpenFile(path.string()) != SQLITE_OK)
                    _exit(2);
                const TagCategories categories = resolveTagCategories(db);
                CacheStore store(db, categories, run % 2);
                CacheImportStore importStore(store, db);
                // An import that ends before the kill starts again: an
                // import of only new caches into a full database is quick.
                for (;;) {
                    CGpxImporter importer(importStore, "me");
                    importer.setPipelined(run % 3 == 0);
                    CUtf8FileSource source(gpx);
                    importer.parse(source, nullptr);
                }
            },
            run);
        expectIntact(path, run);
        if (fulltext::Supported())
            expectIndexIntact(path, run);
        // What an earlier run committed is never lost by a later one.
        const long now = count(path, "SELECT COUNT(*) FROM geocache WHERE id <> 'GC0'");
        EXPECT_GE(now, before) << "run " << run;
        EXPECT_EQ(count(path, "SELECT COUNT(*) FROM geocache g WHERE g.id <> 'GC0' AND NOT EXISTS "
                              "(SELECT 1 FROM coord_index c WHERE c.key = g.key)"),
                  0)
            << "every stored cache has its place in the position index, run " << run;
        before = now;
    }
    EXPECT_GT(before, 0) << "no import got as far as a commit before its kill";
    std::cout << kRuns << " imports killed; the database whole every time; " << before << " caches stored\n";
}

TEST_F(KillTest, TrackFlushKilledKeepsEveryCommittedPoint)
{
    const fs::path path = dir / "track.db3";
    long mostReported = -1;
    for (int run = 0; run < kRuns; ++run) {
        const long reported = killDuring(
            [&](int fd) {
                SQLite::Database db;
                if (db.OpenFile(path.string()) != SQLITE_OK)
                    _exit(2);
                RecordingPrompter prompter;
                CTrackLogger logger(db, prompter);
                if (!logger.openTrackLog())
                    _exit(2);
                logger.setRecording(true);
                logger.setMaxTrackBuffer(7);
                std::time_t t = 1700000000 + run * 1000000L;
                logger.setClock([&t] { return t += 10; });
                for (int i = 0;; ++i) {
                    logger.appendTrack(50.0 + i * 1e-4, 14.0 + run * 1e-3, 250.0, 1.0, 7, 4.0);
                    if (logger.bufferedPoints() == 0) {
                        SQLite::Statement q(db, "SELECT COUNT(*) FROM track_log WHERE lat <> 0");
                        if (q.Next())
                            report(fd, q.ColumnInt(0));
                    }
                }
            },
            run);
        expectIntact(path, run);
        const long now = count(path, "SELECT COUNT(*) FROM track_log WHERE lat <> 0");
        // Every point the child saw committed is there.
        EXPECT_GE(now, reported) << "run " << run;
        mostReported = std::max(mostReported, reported);
    }
    EXPECT_GT(mostReported, 0) << "no flush finished before any kill";
    std::cout << kRuns << " flushes killed; every committed point kept (up to " << mostReported << " in a run)\n";
}

TEST_F(KillTest, SettingsSaveKilledLeavesTheOldOrTheNewFile)
{
    const fs::path path = dir / "Tarnwick.ini";
    // Two versions of the settings with the same values, far apart in size.
    auto fill = [](IniFile& ini, int version) {
        for (int i = 0; i < 400; ++i)
            ini.setString("Options", "Value" + std::to_string(i), std::string(version ? 60 : 5, version ? 'b' : 'a'));
        ini.setInt("Options", "Version", version);
    };
    std::string old, fresh;
    for (int version : {0, 1}) {
        IniFile ini(path);
        fill(ini, version);
        ASSERT_TRUE(ini.save());
        (version ? fresh : old) = test::readFile(path);
    }
    int olds = 0;
    int freshes = 0;
    for (int run = 0; run < kRuns; ++run) {
        killDuring(
            [&](int) {
                for (int n = 0;; ++n) {
                    IniFile ini(path);
                    fill(ini, n % 2);
                    if (!ini.save())
                        _exit(2);
                }
            },
            run);
        const std::string now = test::readFile(path);
        EXPECT_TRUE(now == old || now == fresh) << "run " << run << ": a mix of " << now.size() << " bytes";
        olds += now == old;
        freshes += now == fresh;
    }
    std::cout << kRuns << " saves killed; the old file " << olds << " times, the new one " << freshes << " times\n";
}

TEST_F(KillTest, TileWritesKilledKeepTheStoreWholeAndItsWrittenTiles)
{
    const fs::path path = dir / "maps" / "tiles.twmap";
    const std::string image(3000, '\x89');
    long everWritten = -1;
    for (int run = 0; run < kRuns; ++run) {
        const long reported = killDuring(
            [&](int fd) {
                maps::TileDatabase db(path);
                if (!db.open())
                    _exit(2);
                for (int i = 0;; ++i) {
                    if (db.write({i % 500, run, 5, ""}, image.data(), image.size()))
                        report(fd, i);
                }
            },
            run);
        expectIntact(path, run);
        if (reported >= 0) {
            maps::TileDatabase db(path);
            ASSERT_TRUE(db.open());
            const auto tile = db.read({static_cast<int>(std::min(reported, 499L)), run, 5, ""}, false);
            ASSERT_TRUE(tile.has_value()) << "run " << run;
            everWritten = std::max(everWritten, reported);
        }
    }
    EXPECT_GE(everWritten, 0) << "no write finished before any kill";
    std::cout << kRuns << " tile writers killed; the store whole and its last written tile there every time\n";
}

} // namespace
} // namespace tw

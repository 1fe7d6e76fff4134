// SPDX-License-Identifier: GPL-3.0-or-later
// Every writing operation on a disk that fills up: it says so, reports no
// success, leaves no partial file under the final name, keeps what was
// stored before, and succeeds once there is room again. The disk is a small
// tmpfs mounted in a mount namespace of the test's own (needs root).
#include "app/FieldNotesJob.h"
#include "app/GpxExport.h"
#include "db/CacheReader.h"
#include "db/CacheStore.h"
#include "filter/CacheFilter.h"
#include "gps/CTrackLogger.h"
#include "online/CNetClient.h"
#include "platform/IniFile.h"
#include "tests/app/AppFixture.h"
#include "tests/app/SmallDisk.h"
#include "tests/online/SimProcess.h"

#include <sqlite3.h>


#include <chrono>
#include <cstring>
#include <set>
#include <thread>

namespace tw {
namespace {

namespace fs = std::filesystem;

class DiskFullTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        if (HasFatalFailure())
            return;
        disk = dir / "disk";
        if (const std::string why = smallDisk.mount(disk, 2 << 20); !why.empty())
            GTEST_SKIP() << why;
    }

    void TearDown() override
    {
        smallDisk.unmount();
        AppFixture::TearDown();
    }

    void fill() { smallDisk.fill(); }
    void makeRoom() { smallDisk.makeRoom(); }

    // Files below the disk that are neither the filler nor one of names.
    std::vector<std::string> strayFiles(const std::set<std::string>& names) const
    {
        std::vector<std::string> stray;
        for (const auto& e : fs::recursive_directory_iterator(disk))
            if (e.is_regular_file() && e.path().filename() != "filler" && !names.count(e.path().filename().string()))
                stray.push_back(e.path().filename().string());
        return stray;
    }

    static std::string integrity(const fs::path& path)
    {
        SQLite::Database db;
        if (db.OpenFile(path.string()) != SQLITE_OK)
            return "cannot open";
        SQLite::Statement q(db, "PRAGMA integrity_check");
        return q.Next() ? q.ColumnText(0) : "no answer";
    }

    void openCacheDb()
    {
        global->LoadSettings(SettingsGroup::All);
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
        CacheStore store(global->db.cacheDb, global->db.tagCategories);
        for (int i = 0; i < 5; ++i) {
            CGeocache c;
            c.code = "GC" + std::to_string(500 + i);
            c.name = "Cache " + std::to_string(i);
            c.lat = 50.0 + i * 0.01;
            c.lon = 14.0;
            c.longDesc = std::string(2000, 'd');
            ASSERT_TRUE(store.InsertCache(c));
        }
        global->list.filter.active = global->list.filter.disabled = global->list.filter.archived = 1;
        global->list.filter.found = global->list.filter.owned = 2;
    }

    fs::path disk;
    test::SmallDisk smallDisk;
};

TEST_F(DiskFullTest, TrackFlushKeepsItsPointsUntilThereIsRoom)
{
    const fs::path path = disk / "$tarnwick.db3";
    SQLite::Database db(&prompter);
    ASSERT_EQ(db.OpenFile(path.string()), SQLITE_OK);
    CTrackLogger logger(db, prompter);
    ASSERT_TRUE(logger.openTrackLog());
    logger.setRecording(true);
    logger.setMaxTrackBuffer(100000);
    std::time_t t = 1700000000;
    logger.setClock([&t] { return t += 10; });
    auto walk = [&](int from, int n) {
        for (int i = from; i < from + n; ++i)
            logger.appendTrack(50.0 + i * 2e-4, 14.0, 250.0, 1.0, 7, 4.0);
    };
    walk(0, 20);
    logger.flushBuffer();
    ASSERT_EQ(logger.bufferedPoints(), 0u);

    walk(20, 3000);
    fill();
    prompter.clear();
    logger.flushBuffer();
    EXPECT_EQ(logger.bufferedPoints(), 3000u) << "points that were not written stay buffered";
    EXPECT_FALSE(prompter.messages().empty()) << "the user hears of the failed write";
    EXPECT_EQ(logger.trackPoints(logger.currentTrackId()).size(), 20u) << "what was stored before stays readable";
    EXPECT_EQ(integrity(path), "ok");

    makeRoom();
    logger.flushBuffer();
    EXPECT_EQ(logger.bufferedPoints(), 0u);
    db.Close();
    SQLite::Database check;
    ASSERT_EQ(check.OpenFile(path.string()), SQLITE_OK);
    SQLite::Statement q(check, "SELECT COUNT(*) FROM track_log WHERE lat <> 0");
    ASSERT_TRUE(q.Next());
    EXPECT_EQ(q.ColumnInt(0), 3020);
}

TEST_F(DiskFullTest, GpxExportKeepsTheOldFile)
{
    openCacheDb();
    const fs::path out = disk / "caches.gpx";
    test::writeFile(out, "old export");
    fill();
    const ExportSummary failed = exportGpx(*global, out, nullptr, nullptr);
    EXPECT_FALSE(failed.written);
    EXPECT_FALSE(failed.error.empty());
    EXPECT_EQ(test::readFile(out), "old export");
    EXPECT_EQ(strayFiles({"caches.gpx"}), std::vector<std::string>{});

    makeRoom();
    const ExportSummary done = exportGpx(*global, out, nullptr, nullptr);
    EXPECT_TRUE(done.written) << done.error;
    EXPECT_EQ(done.caches, 5);
    EXPECT_NE(test::readFile(out).find("</gpx>"), std::string::npos);
}

TEST_F(DiskFullTest, FieldNotesExportKeepsTheOldFile)
{
    openCacheDb();
    auto cache = LoadCacheByCode(global->db.cacheDb, "GC500");
    ASSERT_TRUE(cache.has_value());
    ASSERT_TRUE(saveFieldNote(*global, *cache, LogType::FoundIt, "Found it under the bench", 1700000000));
    global->settings.fnFile = (disk / "geocache_visits.txt").string();
    test::writeFile(global->settings.fnFile, "old notes");
    fill();
    prompter.clear();
    EXPECT_FALSE(exportFieldNotes(*global, 0));
    EXPECT_FALSE(prompter.messages().empty());
    EXPECT_EQ(test::readFile(global->settings.fnFile), "old notes");
    EXPECT_EQ(strayFiles({"geocache_visits.txt"}), std::vector<std::string>{});

    makeRoom();
    EXPECT_TRUE(exportFieldNotes(*global, 0));
    const std::u16string code = u"GC500"; // the file is UTF-16LE
    const std::string needle(reinterpret_cast<const char*>(code.data()), code.size() * 2);
    EXPECT_NE(test::readFile(global->settings.fnFile).find(needle), std::string::npos);
}

TEST_F(DiskFullTest, SettingsAndFilterSavesKeepTheOldFiles)
{
    const fs::path iniPath = disk / "Tarnwick.ini";
    {
        IniFile ini(iniPath);
        ini.setString("Options", "NickName", "before");
        ASSERT_TRUE(ini.save());
    }
    CacheFilter filter;
    filter.name = "bridge";
    ASSERT_TRUE(filter.SaveToFile(disk / "filter", "mine"));
    const std::string oldIni = test::readFile(iniPath);
    const std::string oldFilter = test::readFile(disk / "filter" / "mine.pf");

    fill();
    IniFile ini(iniPath);
    for (int i = 0; i < 200; ++i)
        ini.setString("Options", "Value" + std::to_string(i), std::string(100, 'v'));
    EXPECT_FALSE(ini.save());
    EXPECT_EQ(test::readFile(iniPath), oldIni);
    CacheFilter other;
    other.name = std::string(5000, 'n');
    EXPECT_FALSE(other.SaveToFile(disk / "filter", "mine"));
    EXPECT_EQ(test::readFile(disk / "filter" / "mine.pf"), oldFilter);
    EXPECT_EQ(strayFiles({"Tarnwick.ini", "mine.pf"}), std::vector<std::string>{});

    makeRoom();
    EXPECT_TRUE(ini.save());
    EXPECT_TRUE(other.SaveToFile(disk / "filter", "mine"));
    CacheFilter loaded;
    ASSERT_TRUE(loaded.LoadFromFile(disk / "filter", "mine"));
    EXPECT_EQ(loaded.name, other.name);
}

TEST_F(DiskFullTest, TileDownloadLeavesNoPartialTile)
{
    test::SimProcess sim;
    if (!sim.start())
        GTEST_SKIP() << sim.error();
    net::CNetClient client(prompter, notifier);
    client.setConnectionProbe([] { return true; });
    client.setDownloadRoot(disk);
    client.setTimeouts(std::chrono::seconds(2), std::chrono::seconds(1));
    client.setDownloadsOn(true);
    auto fetch = [&](const fs::path& target) {
        client.enqueueFile(sim.baseUrl() + "/tiles/3/1/2.png", target, {});
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while ((client.running() || client.queued() > 0) && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    fill();
    fetch(disk / "street" / "3" / "1" / "2.<ext>");
    EXPECT_EQ(strayFiles({}), std::vector<std::string>{}) << "no tile, and no partial one";

    makeRoom();
    client.setDownloadsOn(true);
    fetch(disk / "street" / "3" / "1" / "2.<ext>");
    EXPECT_TRUE(fs::exists(disk / "street" / "3" / "1" / "2.png"));
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
// Every pocket query in the shared corpus, as other software wrote it, goes
// into a real database with the values its provenance names.
#include "app/GpxImport.h"
#include "exchange/CacheCodes.h"
#include "tests/TestSupport.h"
#include "tests/app/AppFixture.h"

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tw {
namespace {

class CorpusImportTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        TW_REQUIRE_CORPUS();
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
    }

    std::string value(const std::string& sql)
    {
        SQLite::Statement q(global->db.cacheDb, sql);
        return q.Step() == SQLITE_ROW ? q.ColumnText(0) : std::string("(none)");
    }
};

TEST_F(CorpusImportTest, EveryFileImportsAndKeepsItsValues)
{
    // The files whose values this test knows; the corpus holds more, which
    // the tests of what they exercise read.
    for (const std::string name : {"GC2T9RW.gpx", "GC52BKF.gpx", "GCGCA8.gpx", "gc1bkp3_gpx101.gpx", "gc1bkp3_gpx100.gpx",
                                   "gc31j2h.gpx", "gc31j2h_err.gpx", "gc31j2h_wpts.gpx", "geotoad.gpx", "oc5952_gpx.gpx",
                                   "pq7545915.zip"}) {
        const ImportSummary s = importGpx(*global, test::corpusDir() / "gpx" / name, nullptr, nullptr);
        EXPECT_TRUE(s.error.empty()) << name << ": " << s.error;
        EXPECT_EQ(s.complete, name != "gc31j2h_err.gpx") << name;
    }
    // gc31j2h
    EXPECT_EQ(value("SELECT name || '|' || cachetype || '|' || cachesize || '|' || difficulty || '|' || terrain || "
                    "'|' || author || '|' || x || '|' || y FROM geocache WHERE id = 'GC31J2H'"),
              "Hockenheimer City-Brunnen|Multi-cache|Small|2.0|1.0|vptsz|49.3187|8.54565");
    EXPECT_EQ(value("SELECT COUNT(*) FROM geolog WHERE id = 'GC31J2H'"), "6");
    EXPECT_EQ(value("SELECT group_concat(prefixid || ':' || wpttype || ':' || name, ',') FROM "
                    "(SELECT * FROM waypoint WHERE id = 'GC31J2H' ORDER BY prefixid)"),
              "00:Parking Area:Parkplatz,S1:Stages of a Multicache:Station 1");
    // gc1bkp3 in both cache versions: the 1.0.1 file brings the attributes.
    EXPECT_EQ(value("SELECT name || '|' || cachetype || '|' || cachesize || '|' || difficulty || '|' || terrain || "
                    "'|' || round(x, 6) || '|' || y FROM geocache WHERE id = 'GC1BKP3'"),
              "Die Schatzinsel / treasure island|Traditional Cache|Micro|1.0|5.0|48.859683|9.1874");
    EXPECT_EQ(value("SELECT COUNT(*) FROM geotag JOIN geotagcategory ON geotagcategory.key = geotag.ptrkat "
                    "WHERE geotag.id = 'GC1BKP3' AND geotagcategory.value = 'attribute'"),
              "10");
    // GCGCA8: archived and unavailable, Unknown Cache, attributes with inc="0".
    EXPECT_EQ(value("SELECT cachestatus || '|' || cachetype FROM geocache WHERE id = 'GCGCA8'"), "2|Unknown Cache");
    EXPECT_EQ(value("SELECT COUNT(*) FROM geolog WHERE id = 'GCGCA8'"), "25");
    EXPECT_NE(value("SELECT group_concat(geotagvalue.value) FROM geotag JOIN geotagvalue ON geotagvalue.key = "
                    "geotag.ptrvalue WHERE geotag.id = 'GCGCA8'")
                  .find("-no"),
              std::string::npos);
    // The single-cache downloads with 20 logs.
    EXPECT_EQ(value("SELECT COUNT(*) FROM geolog WHERE id = 'GC2T9RW'"), "20");
    EXPECT_EQ(value("SELECT COUNT(*) FROM geolog WHERE id = 'GC52BKF'"), "20");
    // Numeric character references come out as letters.
    EXPECT_EQ(value("SELECT COUNT(*) FROM geocache WHERE name LIKE '%&;%' OR author LIKE '%&;%'"), "0");
    // Nothing was stored half: every cache has its texts and its index row.
    EXPECT_EQ(value("SELECT COUNT(*) FROM geocache WHERE id NOT IN (SELECT id FROM geolist)"), "0");
    EXPECT_EQ(value("SELECT COUNT(*) FROM geocache WHERE key NOT IN (SELECT key FROM coord_index)"), "0");
    EXPECT_EQ(value("PRAGMA integrity_check"), "ok");
}

// Every cache of every file of the corpus, whatever wrote it, comes in
// under its true code, and nothing is called skipped that was not there.
TEST_F(CorpusImportTest, EveryCacheUnderItsTrueCode)
{
    const std::map<std::string, std::string> codes{
        {"GC2T9RW.gpx", "GC2T9RW"},
        {"GC52BKF.gpx", "GC52BKF"},
        {"GC7FA4.gpx", "GC7FA4"},
        {"GCGCA8.gpx", "GCGCA8"},
        {"GSAK_1_1.gpx", "GC1XCEW"},
        {"OCF19A.gpx", "OCF19A"},
        {"TestCache3_WP_Parents_1_0.gpx", "ACWP003"},
        {"TestCache3_WP_Parents_1_1.gpx", "ACWP003"},
        {"gc1bkp3_gpx100.gpx", "GC1BKP3"},
        {"gc1bkp3_gpx101.gpx", "GC1BKP3"},
        {"gc31j2h.gpx", "GC31J2H"},
        {"gc3t1xg_gsak_110.gpx", "GC3T1XG"},
        {"gc3t1xg_gsak_dnf.gpx", "GC3T1XG"},
        {"geotoad.gpx", "GC1T3MK,GC2KN6K"},
        {"gsak-correctedCoords.gpx", "GC250Q2"},
        {"oc5952_gpx.gpx", "OC5952"},
        {"ocddd2_empty_coord.gpx", "OCDDD2"},
        {"zz1000.gpx", "ZZ1000"},
    };
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(test::corpusDir() / "gpx"))
        if (entry.path().extension() == ".gpx" || entry.path().extension() == ".zip")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), codes.size());
    for (const auto& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        ASSERT_EQ(global->db.cacheDb.Exec("DELETE FROM geocache WHERE id <> 'GC0'; DELETE FROM waypoint; "
                                          "DELETE FROM geotag; DELETE FROM geolist; DELETE FROM geolog; "
                                          "DELETE FROM coord_index"),
                  SQLITE_OK);
        const ImportSummary s = importGpx(*global, path, nullptr, nullptr);
        EXPECT_EQ(s.skipped, 0);
        EXPECT_EQ(s.failed, 0);
        // Each finished cache element is one cache (a zip's members are not counted here).
        if (path.extension() == ".gpx") {
            const std::string text = test::readFile(path);
            int elements = 0;
            for (std::size_t at = text.find("</groundspeak:cache>"); at != std::string::npos;
                 at = text.find("</groundspeak:cache>", at + 1))
                ++elements;
            EXPECT_EQ(s.newCaches, elements);
        } else {
            EXPECT_GT(s.newCaches, 0);
            EXPECT_EQ(s.notCaches, 0);
        }
        EXPECT_EQ(value("SELECT COUNT(*) FROM geocache WHERE id <> 'GC0'"), std::to_string(s.newCaches));
        SQLite::Statement stored(global->db.cacheDb, "SELECT id FROM geocache WHERE id <> 'GC0' ORDER BY id");
        std::string all;
        while (stored.Step() == SQLITE_ROW) {
            const std::string code = stored.ColumnText(0);
            EXPECT_TRUE(codes::isWholeCode(code)) << code;
            all += (all.empty() ? "" : ",") + code;
        }
        if (const auto known = codes.find(name); known != codes.end()) {
            EXPECT_EQ(all, known->second);
        }
        if (name == "giga_lab_caches.gpx") {
            EXPECT_EQ(value("SELECT COUNT(*) FROM geocache WHERE id LIKE 'LC%'"), "10");
        }
        // Waypoints of other platforms' caches hang under them.
        if (name == "OCF19A.gpx" || name == "ocddd2_empty_coord.gpx" || name.starts_with("TestCache3")) {
            EXPECT_EQ(value("SELECT COUNT(*) FROM waypoint WHERE id NOT IN (SELECT id FROM geocache)"), "0");
        }
        if (name == "OCF19A.gpx") {
            EXPECT_EQ(value("SELECT COUNT(*) FROM waypoint WHERE id = 'OCF19A'"), "3");
        }
    }
}

// The import makes the new caches' documents on a thread of its own, from the
// texts it read; the index must hold what it would hold made from the rows.
TEST_F(CorpusImportTest, TheIndexHoldsTheWordsOfTheStoredRows)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test::corpusDir() / "gpx"))
        if (entry.path().extension() == ".gpx") {
            importGpx(*global, entry.path(), nullptr, nullptr);
            ++files;
        }
    ASSERT_GT(files, 5);
    SQLite::Database& db = global->db.cacheDb;
    EXPECT_EQ(db.Exec("INSERT INTO `cachetext` (`cachetext`) VALUES ('integrity-check')"), SQLITE_OK)
        << db.errorText();
    ASSERT_EQ(db.Exec("CREATE VIRTUAL TABLE temp.`words` USING fts5vocab(main, `cachetext`, 'instance')"), SQLITE_OK);
    auto words = [&] {
        std::vector<std::string> all;
        SQLite::Statement q(db, "SELECT `term` || ' ' || `doc` || ' ' || `col` || ' ' || `offset` FROM temp.`words` "
                                "ORDER BY `doc`, `col`, `offset`");
        while (q.Next())
            all.push_back(q.ColumnText(0));
        return all;
    };
    const std::vector<std::string> imported = words();
    EXPECT_GT(imported.size(), 10000u);
    ASSERT_EQ(db.Exec("INSERT INTO `cachetext` (`cachetext`) VALUES ('rebuild')"), SQLITE_OK) << db.errorText();
    EXPECT_EQ(words(), imported);
}

} // namespace
} // namespace tw

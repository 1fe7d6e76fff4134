// SPDX-License-Identifier: GPL-3.0-or-later
// Every pocket query in the shared corpus, as other software wrote it, goes
// into a real database with the values its provenance names.
#include "app/GpxImport.h"
#include "tests/app/AppFixture.h"

#include <sqlite3.h>

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

} // namespace
} // namespace tw

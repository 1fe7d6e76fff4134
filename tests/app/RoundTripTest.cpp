// SPDX-License-Identifier: GPL-3.0-or-later
// import(export(import(x))) holds what import(x) holds, for every field the
// export writes, with real pocket queries as x.
#include "app/GpxExport.h"
#include "app/GpxImport.h"
#include "db/CacheStore.h"
#include "tests/app/AppFixture.h"

#include <sqlite3.h>

namespace tw {
namespace {

class RoundTripTest : public test::AppFixture {
protected:
    // Imports the files into a fresh database at path.
    void importInto(const std::filesystem::path& db, const std::vector<std::filesystem::path>& files)
    {
        global->db.cacheDb.Close();
        test::copyTemplateDb(db);
        ASSERT_EQ(global->db.cacheDb.OpenFile(db.string()), SQLITE_OK);
        global->db.InitTagCategories();
        for (const auto& f : files) {
            const ImportSummary s = importGpx(*global, f, nullptr, nullptr);
            ASSERT_TRUE(s.complete) << f;
        }
    }

    // The database's content as text, in a fixed order.
    std::string dump()
    {
        std::string out;
        auto rows = [&](const char* sql, bool compressed = false) {
            SQLite::Statement q(global->db.cacheDb, sql);
            while (q.Step() == SQLITE_ROW) {
                for (int i = 0; i < q.columnCount(); ++i) {
                    out += (compressed && (i == 1 || i == 3) ? DecompressText(q.ColumnBlob(i)) : q.ColumnText(i));
                    out += '|';
                }
                out += '\n';
            }
        };
        rows("SELECT id, name, author, round(x, 6), round(y, 6), cachetype, cachesize, difficulty, terrain, "
             "cachestatus, dthidden, country, state, gs_cacheid, gs_ownerid FROM geocache WHERE id <> 'GC0' "
             "ORDER BY id");
        rows("SELECT id, shortdesc, shortdescflag, longdesc, longdescflag, hint FROM geolist WHERE id <> 'GC0' "
             "ORDER BY id",
             true);
        rows("SELECT id, dt, type, finder, gs_logid, gs_finderid FROM geolog ORDER BY id, gs_logid");
        rows("SELECT id, prefixid, round(x, 6), round(y, 6), name, cmt, wpttype FROM waypoint ORDER BY id, "
             "prefixid");
        rows("SELECT geotag.id, geotagvalue.value FROM geotag JOIN geotagvalue ON geotagvalue.key = "
             "geotag.ptrvalue JOIN geotagcategory ON geotagcategory.key = geotag.ptrkat WHERE "
             "geotagcategory.value = 'attribute' ORDER BY 1, 2");
        return out;
    }
};

TEST_F(RoundTripTest, ExportedCachesImportAsTheyWere)
{
    TW_REQUIRE_CORPUS();
    const auto corpus = test::corpusDir();
    std::filesystem::copy_file(corpus / "gpx" / "gc31j2h.gpx", dir / "pq.gpx");
    std::filesystem::copy_file(corpus / "gpx" / "gc31j2h_wpts.gpx", dir / "pq-wpts.gpx");
    const std::vector<std::filesystem::path> files = {
        dir / "pq.gpx", corpus / "gpx" / "GC2T9RW.gpx", corpus / "gpx" / "GCGCA8.gpx",
        corpus / "gpx" / "gc1bkp3_gpx101.gpx", corpus / "gpx" / "GC52BKF.gpx"};

    importInto(dir / "first.db3", files);
    const std::string first = dump();
    ASSERT_NE(first.find("GC31J2H|Hockenheimer City-Brunnen|vptsz|49.3187|8.54565|Multi-cache|Small|2"),
              std::string::npos)
        << first;

    global->list.filter = CacheFilter();
    global->list.filter.active = global->list.filter.disabled = global->list.filter.archived = 1;
    global->list.filter.found = global->list.filter.owned = 2;
    const ExportSummary e = exportGpx(*global, dir / "out.gpx", nullptr, nullptr);
    ASSERT_TRUE(e.written);
    EXPECT_EQ(e.caches, 5);

    importInto(dir / "second.db3", {dir / "out.gpx"});
    EXPECT_EQ(dump(), first);
}

} // namespace
} // namespace tw

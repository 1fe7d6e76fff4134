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

// Names, logs, hints and waypoint names full of emoji come back byte for
// byte, and the file in between holds them as they are.
TEST_F(RoundTripTest, CharactersBeyondTheBasicPlaneSurviveExportAndImport)
{
    const std::string horn = "\xF0\x9F\x93\xAF", hundred = "\xF0\x9F\x92\xAF", kanji = "\xF0\xA0\x80\x8B";
    test::writeFile(
        dir / "pq.gpx",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<gpx version=\"1.0\">\n"
        "<wpt lat=\"50.5\" lon=\"14.25\"><time>2020-05-01T00:00:00Z</time><name>GC1EMOJ</name>"
        "<type>Geocache|Traditional Cache</type><groundspeak:cache id=\"7\" available=\"True\" archived=\"False\">"
        "<groundspeak:name>" + horn + " Horn &#128175;</groundspeak:name><groundspeak:placed_by>" + kanji +
        "</groundspeak:placed_by><groundspeak:owner id=\"3\">" + kanji + "</groundspeak:owner>"
        "<groundspeak:type>Traditional Cache</groundspeak:type><groundspeak:container>Small</groundspeak:container>"
        "<groundspeak:difficulty>2</groundspeak:difficulty><groundspeak:terrain>1.5</groundspeak:terrain>"
        "<groundspeak:long_description html=\"False\">" + hundred + "</groundspeak:long_description>"
        "<groundspeak:encoded_hints>&#x1F4AF; " + horn + "</groundspeak:encoded_hints><groundspeak:logs>"
        "<groundspeak:log id=\"11\"><groundspeak:date>2020-05-02T00:00:00Z</groundspeak:date>"
        "<groundspeak:type>Found it</groundspeak:type><groundspeak:finder id=\"5\">" + hundred +
        "</groundspeak:finder><groundspeak:text>TFTC " + horn + horn + "</groundspeak:text></groundspeak:log>"
        "</groundspeak:logs></groundspeak:cache></wpt>\n"
        "<wpt lat=\"50.51\" lon=\"14.26\"><name>PK1EMOJ</name><cmt>" + horn + " here</cmt><desc>Parking " +
        horn + "</desc><sym>Parking Area</sym><type>Waypoint|Parking Area</type></wpt>\n</gpx>\n");
    const auto texts = [&] {
        std::string out;
        SQLite::Statement q(global->db.cacheDb,
                            "SELECT geocache.name, geocache.author, waypoint.name, waypoint.cmt FROM geocache "
                            "JOIN waypoint ON waypoint.id = geocache.id WHERE geocache.id = 'GC1EMOJ'");
        while (q.Step() == SQLITE_ROW)
            for (int i = 0; i < 4; ++i)
                out += q.ColumnText(i) + "|";
        SQLite::Statement hint(global->db.cacheDb, "SELECT longdesc, hint FROM geolist WHERE id = 'GC1EMOJ'");
        while (hint.Step() == SQLITE_ROW)
            out += DecompressText(hint.ColumnBlob(0)) + "|" + hint.ColumnText(1) + "|";
        SQLite::Statement logs(global->db.cacheDb, "SELECT finder, logtext FROM geolog WHERE id = 'GC1EMOJ'");
        while (logs.Step() == SQLITE_ROW)
            out += logs.ColumnText(0) + "|" + DecompressText(logs.ColumnBlob(1)) + "|";
        return out;
    };
    importInto(dir / "first.db3", {dir / "pq.gpx"});
    const std::string first = texts();
    EXPECT_EQ(first, horn + " Horn " + hundred + "|" + kanji + "|Parking " + horn + "|" + horn + " here|" + hundred +
                         "|" + hundred + " " + horn + "|" + hundred + "|TFTC " + horn + horn + "|");
    const std::string all = dump();

    global->list.filter = CacheFilter();
    global->list.filter.active = global->list.filter.disabled = global->list.filter.archived = 1;
    global->list.filter.found = global->list.filter.owned = 2;
    ASSERT_TRUE(exportGpx(*global, dir / "out.gpx", nullptr, nullptr).written);
    const std::string exported = test::readFile(dir / "out.gpx");
    EXPECT_NE(exported.find("<groundspeak:name><![CDATA[" + horn + " Horn " + hundred + "]]>"), std::string::npos);
    EXPECT_EQ(exported.find("\xEF\xBF\xBD"), std::string::npos);

    importInto(dir / "second.db3", {dir / "out.gpx"});
    EXPECT_EQ(texts(), first);
    EXPECT_EQ(dump(), all);
}

} // namespace
} // namespace tw

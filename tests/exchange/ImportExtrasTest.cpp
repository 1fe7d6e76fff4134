// SPDX-License-Identifier: GPL-3.0-or-later
// Travel bugs and the desktop manager's extras, from a file into the
// database, onto the listing's data and back out into an export.
#include "db/CacheReader.h"
#include "db/TravelBugs.h"
#include "exchange/CGpxImporter.h"
#include "exchange/CacheImportStore.h"
#include "exchange/GpxWriter.h"
#include "exchange/ImportFiles.h"
#include "platform/Text.h"
#include "platform/TextLookup.h"
#include "tests/db/StoreFixture.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CUtf8MemorySource.h"

#include <cstdio>
#include <cstdlib>

namespace tw {
namespace {

namespace fs = std::filesystem;

const std::string kHead = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<gpx version=\"1.0\" "
                          "xmlns:groundspeak=\"http://www.groundspeak.com/cache/1/0/1\">\n";

// One cache entry; extension goes before the cache element, travelBugs
// inside it after the logs, as the writers of such files place them.
std::string entry(const std::string& code, const std::string& extension, const std::string& travelBugs,
                  const std::string& lat = "48.76687", const std::string& lon = "9.18288")
{
    return "<wpt lat=\"" + lat + "\" lon=\"" + lon + "\"><name>" + code + "</name><sym>Geocache</sym>" + extension +
           "<groundspeak:cache id=\"1\" available=\"True\" archived=\"False\"><groundspeak:name>Cache " + code +
           "</groundspeak:name><groundspeak:type>Traditional Cache</groundspeak:type><groundspeak:logs>"
           "<groundspeak:log id=\"5\"><groundspeak:date>2020-01-02T00:00:00Z</groundspeak:date>"
           "<groundspeak:type>Found it</groundspeak:type><groundspeak:finder>x</groundspeak:finder>"
           "<groundspeak:text>t</groundspeak:text></groundspeak:log></groundspeak:logs>"
           "<groundspeak:travelbugs>" +
           travelBugs + "</groundspeak:travelbugs></groundspeak:cache></wpt>\n";
}

std::string bug(const std::string& id, const std::string& ref, const std::string& name)
{
    return "<groundspeak:travelbug id=\"" + id + "\" ref=\"" + ref + "\">\n  <groundspeak:name>" + name +
           "</groundspeak:name>\n</groundspeak:travelbug>";
}

const std::string kManagerExtension =
    "<gsak:wptExtension xmlns:gsak=\"http://www.gsak.net/xmlv1/6\"><gsak:DNF>true</gsak:DNF>"
    "<gsak:DNFDate>2021-03-20</gsak:DNFDate><gsak:UserData>Ask at the pub</gsak:UserData>"
    "<gsak:LatBeforeCorrect>48.766867</gsak:LatBeforeCorrect><gsak:LonBeforeCorrect>9.183033</gsak:LonBeforeCorrect>"
    "<gsak:User2></gsak:User2><gsak:User3>third\r\nline</gsak:User3><gsak:FavPoints>31</gsak:FavPoints>"
    "<gsak:GcNote>Solved: N 48 46.012</gsak:GcNote></gsak:wptExtension>";

int run(const std::string& command)
{
    return std::system(command.c_str());
}

class ImportExtras : public test::StoreFixture {
protected:
    void importGpx(const std::string& gpx, int impOnlyNew = 0)
    {
        CacheStore store(db, categories, impOnlyNew);
        CacheImportStore importStore(store, db);
        CGpxImporter importer(importStore, "me");
        CUtf8MemorySource source(gpx);
        ASSERT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
    }

    void importFile(const fs::path& file)
    {
        std::string error;
        auto documents = ImportDocuments::open(file, englishTexts(), &error);
        ASSERT_TRUE(documents) << error;
        CacheStore store(db, categories, 0);
        CacheImportStore importStore(store, db);
        CGpxImporter importer(importStore, "me");
        for (const ImportDocument& d : documents->documents()) {
            std::string problem;
            auto source = documents->read(d, &problem);
            ASSERT_TRUE(source) << d.name;
            importer.parse(*source, nullptr);
        }
    }

    CGeocache loaded(const std::string& code)
    {
        auto c = LoadCacheByCode(db, code);
        EXPECT_TRUE(c) << code;
        if (!c)
            return {};
        WaypointLoader(db).load(*c);
        loadDetails(db, *c, categories);
        loadLogs(db, *c);
        return std::move(*c);
    }

    std::string tag(const std::string& code, const std::string& category)
    {
        for (const auto& [name, value] : tagsOfCache(db, code))
            if (name == category)
                return value;
        return {};
    }

    // Every stored cache written as the export writes them.
    fs::path exportAll()
    {
        const fs::path out = dir / "export.gpx";
        std::FILE* f = std::fopen(out.c_str(), "wb");
        EXPECT_TRUE(f);
        GpxWriter writer(f);
        writer.header(0);
        SQLite::Statement codes(db, "SELECT `id` FROM `geocache` ORDER BY `id`");
        while (codes.Next())
            writer.cache(loaded(codes.ColumnText(0)));
        writer.footer();
        std::fclose(f);
        return out;
    }

    // The export checked against the schema of the cache extension it
    // declares, and with the namespace of 1/0 against that one's (which has
    // no attributes yet).
    void expectValid(const fs::path& file, bool alsoCache10)
    {
        TW_REQUIRE_CORPUS();
        TW_REQUIRE_PROGRAM("xmllint");
        const auto schemas = test::corpusDir() / "schemas";
        for (const char* cacheSchema : {"cache101.xsd", "cache10.xsd"}) {
            if (!alsoCache10 && cacheSchema == std::string("cache10.xsd"))
                continue;
            const std::string ns = cacheSchema == std::string("cache10.xsd") ? "http://www.groundspeak.com/cache/1/0"
                                                                             : kCache101Namespace;
            std::string text = test::readFile(file);
            const fs::path copy = dir / (std::string("as-") + cacheSchema + ".gpx");
            test::writeFile(copy, text::replaceAll(text, kCache101Namespace, ns));
            test::writeFile(dir / "both.xsd",
                            "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\"><xs:import namespace=\"" +
                                std::string(kGpx10Namespace) + "\" schemaLocation=\"" +
                                (schemas / "gpx10.xsd").string() + "\"/><xs:import namespace=\"" + ns +
                                "\" schemaLocation=\"" + (schemas / cacheSchema).string() + "\"/></xs:schema>");
            EXPECT_EQ(run("xmllint --noout --schema " + (dir / "both.xsd").string() + " " + copy.string() + " 2>" +
                          (dir / "xmllint.txt").string()),
                      0)
                << cacheSchema << ": " << test::readFile(dir / "xmllint.txt");
        }
    }
};

TEST_F(ImportExtras, TravelBugsAreStoredReplacedByTheNextCopyAndExported)
{
    importGpx(kHead +
              entry("GC1AAAA", "", bug("2446695", "TB32XRJ", "Betty I. M.") + bug("96988", "TBH1PJ", "M&amp;M \"Coin\"")) +
              entry("GC1BBBB", "", "") + "</gpx>\n");
    EXPECT_EQ(loaded("GC1AAAA").travelBugs,
              (std::vector<CTravelBug>{{2446695, "TB32XRJ", "Betty I. M."}, {96988, "TBH1PJ", "M&M \"Coin\""}}));
    EXPECT_TRUE(loaded("GC1BBBB").travelBugs.empty());

    // A newer copy of the cache brings the bugs that are in it now.
    importGpx(kHead + entry("GC1AAAA", "", bug("7", "TB7", "Newcomer")) + "</gpx>\n");
    EXPECT_EQ(loaded("GC1AAAA").travelBugs, (std::vector<CTravelBug>{{7, "TB7", "Newcomer"}}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM travelbug"), 1);

    // The export lists them, and reads back as the same bugs.
    importGpx(kHead + entry("GC1BBBB", "", bug("1", "TB1", "&lt;Tin &amp; Can&gt;")) + "</gpx>\n");
    const fs::path out = exportAll();
    const std::string text = test::readFile(out);
    EXPECT_NE(text.find("<groundspeak:travelbug id=\"7\" ref=\"TB7\">"), std::string::npos) << text;
    EXPECT_NE(text.find("<![CDATA[<Tin & Can>]]>"), std::string::npos);
    CacheStore(db, categories).DeleteCache(loaded("GC1BBBB"), false);
    EXPECT_EQ(count("SELECT COUNT(*) FROM travelbug WHERE id = 'GC1BBBB'"), 0);
    importGpx(test::readFile(out));
    EXPECT_EQ(loaded("GC1BBBB").travelBugs, (std::vector<CTravelBug>{{1, "TB1", "<Tin & Can>"}}));
    expectValid(out, true);
}

TEST_F(ImportExtras, ManagerExtrasAreShownAndImportingAgainAddsNothing)
{
    const std::string file = kHead + entry("GC250Q2", kManagerExtension, "") + "</gpx>\n";
    importGpx(file);
    CGeocache c = loaded("GC250Q2");
    // The cache is at the corrected position; the listing's is a waypoint.
    EXPECT_DOUBLE_EQ(c.lat, 48.76687);
    EXPECT_DOUBLE_EQ(c.lon, 9.18288);
    ASSERT_EQ(c.waypoints.size(), 1u);
    EXPECT_EQ(c.waypoints[0]->prefix, kOriginalPositionPrefix);
    EXPECT_EQ(c.waypoints[0]->name, kOriginalPositionName);
    EXPECT_DOUBLE_EQ(c.waypoints[0]->lat, 48.766867);
    EXPECT_DOUBLE_EQ(c.waypoints[0]->lon, 9.183033);
    EXPECT_EQ(c.favorites, "31");
    EXPECT_EQ(tag("GC250Q2", kDnfCategory), "2021-03-20");
    const std::string block = "[UserData]\nAsk at the pub\n[User3]\nthird\nline\n[GcNote]\nSolved: N 48 46.012";
    // Notes are read back with CR LF line ends.
    EXPECT_EQ(text::replaceAll(c.comment, "\r\n", "\n"), block);

    // The user writes a note of their own; the next imports keep it and add
    // the file's texts once.
    ASSERT_TRUE(CacheStore(db, categories).SetComment(c, "My own words."));
    for (int i = 0; i < 2; ++i) {
        importGpx(file);
        c = loaded("GC250Q2");
        EXPECT_EQ(text::replaceAll(c.comment, "\r\n", "\n"), "My own words.\n\n" + block) << i;
        EXPECT_EQ(c.waypoints.size(), 1u);
        EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC250Q2' AND ptrkat = " +
                        std::to_string(categories.favorites)),
                  1);
        EXPECT_EQ(count("SELECT COUNT(*) FROM geotag JOIN geotagcategory ON geotagcategory.key = geotag.ptrkat "
                        "WHERE geotag.id = 'GC250Q2' AND geotagcategory.value = 'dnf'"),
                  1);
    }

    // A manager that knows no favourite points writes -1; a position the
    // user never corrected is no second one; no DNF, no tag.
    importGpx(kHead +
              entry("GC1CCCC",
                    "<gsak:wptExtension><gsak:DNF>false</gsak:DNF><gsak:FavPoints>-1</gsak:FavPoints>"
                    "<gsak:LatBeforeCorrect>48.76687</gsak:LatBeforeCorrect>"
                    "<gsak:LonBeforeCorrect>9.18288</gsak:LonBeforeCorrect></gsak:wptExtension>",
                    "") +
              "</gpx>\n");
    c = loaded("GC1CCCC");
    EXPECT_TRUE(c.waypoints.empty());
    EXPECT_EQ(c.favorites, "");
    EXPECT_EQ(tag("GC1CCCC", kDnfCategory), "");
    EXPECT_EQ(c.comment, "");
}

TEST_F(ImportExtras, AReusedEntryCarriesNothingOfThePreviousCache)
{
    // The import hands each finished cache back for the next entry to reuse;
    // pipelined or not, the second cache must come out bare.
    for (const bool pipelined : {false, true}) {
        std::string gpx = kHead;
        for (int i = 0; i < 80; ++i) {
            const std::string code = (pipelined ? "GC3" : "GC2") + std::to_string(1000 + i);
            gpx += i % 2 == 0 ? entry(code, kManagerExtension, bug("9", "TB9", "Rider")) : entry(code, "", "");
        }
        CacheStore store(db, categories, 0);
        CacheImportStore importStore(store, db);
        CGpxImporter importer(importStore, "me");
        importer.setPipelined(pipelined);
        gpx += "</gpx>\n";
        CUtf8MemorySource source(gpx);
        ASSERT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
        importStore.finish();
        EXPECT_EQ(importer.newCaches(), 80) << importer.storeError();
        for (int i = 0; i < 80; ++i) {
            const std::string code = (pipelined ? "GC3" : "GC2") + std::to_string(1000 + i);
            SCOPED_TRACE(pipelined ? "pipelined" : "one thread");
            const CGeocache c = loaded(code);
            EXPECT_EQ(c.travelBugs.size(), i % 2 == 0 ? 1u : 0u) << code;
            EXPECT_EQ(c.waypoints.size(), i % 2 == 0 ? 1u : 0u) << code;
            EXPECT_EQ(c.favorites.empty(), i % 2 != 0) << code;
            EXPECT_EQ(c.comment.empty(), i % 2 != 0) << code;
            EXPECT_EQ(tag(code, kDnfCategory).empty(), i % 2 != 0) << code;
        }
    }
}

TEST_F(ImportExtras, ADatabaseWithoutTheTableGetsItAtItsNextOpen)
{
    db.Exec("DROP TABLE `travelbug`");
    // Read as it is, a database of another program simply has no bugs.
    EXPECT_TRUE(loadTravelBugs(db, "GC1AAAA").empty());
    categories = resolveTagCategories(db);
    importGpx(kHead + entry("GC1AAAA", "", bug("1", "TB1", "One")) + "</gpx>\n");
    EXPECT_EQ(loaded("GC1AAAA").travelBugs.size(), 1u);
    // A second open leaves the table and its rows alone.
    categories = resolveTagCategories(db);
    EXPECT_EQ(count("SELECT COUNT(*) FROM travelbug"), 1);
}

TEST_F(ImportExtras, RealFilesKeepEveryTravelBugAndTheManagersExtras)
{
    TW_REQUIRE_CORPUS();
    const fs::path gpx = test::corpusDir() / "gpx";
    // Counted in the files' own text: each element opens with its id.
    std::size_t inFiles = 0;
    for (const auto& e : fs::directory_iterator(gpx)) {
        if (e.path().extension() != ".gpx")
            continue;
        importFile(e.path());
        const std::string text = test::readFile(e.path());
        for (std::size_t at = text.find("<groundspeak:travelbug "); at != std::string::npos;
             at = text.find("<groundspeak:travelbug ", at + 1))
            ++inFiles;
    }
    // The zipped pocket query holds GC31J2H again, with the same bug: it
    // replaces the copy of gc31j2h.gpx, and the bug is stored once.
    importFile(gpx / "pq7545915.zip");
    EXPECT_EQ(count("SELECT COUNT(*) FROM travelbug"), static_cast<int>(inFiles));
    EXPECT_EQ(inFiles, 3u);

    EXPECT_EQ(loaded("GC2T9RW").travelBugs.size(), 2u);
    EXPECT_EQ(loaded("GC2T9RW").travelBugs[0], (CTravelBug{2446695, "TB32XRJ", "Betty I. M."}));
    EXPECT_EQ(loaded("GC31J2H").travelBugs,
              (std::vector<CTravelBug>{{1729111, "TB29V2P", "2008 NCOG Horse Race: Cache or Charge?"}}));
    EXPECT_TRUE(loaded("GC52BKF").travelBugs.empty());

    const CGeocache corrected = loaded("GC250Q2");
    EXPECT_DOUBLE_EQ(corrected.lat, 48.76687);
    ASSERT_EQ(corrected.waypoints.size(), 1u);
    EXPECT_DOUBLE_EQ(corrected.waypoints[0]->lat, 48.766867);
    EXPECT_DOUBLE_EQ(corrected.waypoints[0]->lon, 9.183033);
    EXPECT_EQ(corrected.favorites, "31");
    EXPECT_EQ(corrected.comment, "[GcNote]\r\nGc Note");

    const CGeocache dnf = loaded("GC3T1XG");
    EXPECT_EQ(tag("GC3T1XG", kDnfCategory), "2021-03-20");
    EXPECT_EQ(dnf.favorites, "258");
    EXPECT_EQ(dnf.comment, "[GcNote]\r\nPersonal Note Test");

    // A file that does not know the favourite points says -1: none.
    {
        struct Recording final : ImportStore {
            int StoreImportedCache(CGeocache& cache) override
            {
                favorites.push_back(cache.favorites);
                return ImportResult::NewCache;
            }
            int StoreImportedWaypoint(CWaypoint&) override { return ImportResult::NotStored; }
            std::vector<std::string> favorites;
        } recording;
        CGpxImporter importer(recording, "me");
        // Under a cache code, so that it is read as a cache whatever its own
        // code is taken for.
        const std::string text =
            text::replaceAll(test::readFile(gpx / "zz1000.gpx"), "<name>ZZ1000</name>", "<name>GCZZ100</name>");
        CUtf8MemorySource source(text);
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
        EXPECT_EQ(recording.favorites, std::vector<std::string>{""});
    }

    // Every bug goes out again, in a file both schemas accept.
    const fs::path out = exportAll();
    const std::string text = test::readFile(out);
    std::size_t exported = 0;
    for (std::size_t at = text.find("<groundspeak:travelbug "); at != std::string::npos;
         at = text.find("<groundspeak:travelbug ", at + 1))
        ++exported;
    EXPECT_EQ(exported, inFiles);
    expectValid(out, false);
}

} // namespace
} // namespace tw

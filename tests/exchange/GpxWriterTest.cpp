// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CGpxImporter.h"
#include "exchange/GpxWriter.h"
#include "tests/TestSupport.h"
#include "xml/CUtf8FileSource.h"

#include <cstdlib>

namespace tw {
namespace {

class CollectingStore final : public ImportStore {
public:
    int StoreImportedCache(CGeocache& cache) override
    {
        caches.push_back(std::make_unique<CGeocache>());
        CGeocache& c = *caches.back();
        c = cache; // the list fields
        c.text = cache.text;
        c.longDesc = cache.longDesc;
        c.hint = cache.hint;
        c.shortDescHtml = cache.shortDescHtml;
        c.longDescHtml = cache.longDescHtml;
        c.attributes = cache.attributes;
        for (auto& log : cache.logs)
            c.logs.push_back(std::make_unique<CGeoLog>(*log));
        return 1;
    }
    int StoreImportedWaypoint(CWaypoint& waypoint) override
    {
        waypoints.push_back(waypoint);
        return 2;
    }
    std::vector<std::unique_ptr<CGeocache>> caches;
    std::vector<CWaypoint> waypoints;
};

CGeocache sample(const std::string& code, int n)
{
    CGeocache c;
    c.code = code;
    c.guid = "0eba627b-bc4c-4e37-9bae-80dad5b9781" + std::to_string(n);
    c.name = "Brunnen & <Stein> ]]> č" + std::to_string(n);
    c.author = "vptsz";
    c.ownerId = n == 1 ? 0 : 4711;
    c.cacheId = 2406611 + n;
    c.lat = -33.8675 + n;
    c.lon = 151.207;
    c.type = CacheType::Multi;
    c.size = CacheSize::Micro;
    c.difficulty = 15;
    c.terrain = 20;
    c.status = n % 3;
    c.hidden = n == 0 ? 0 : 20110805; // the first has no hidden date
    c.found = n == 2 ? 20111124 : 0;
    c.country = "Bosnia & Herzegovina";
    c.state = "Baden-Württemberg";
    c.text = "short ]]> text";
    c.shortDescHtml = 0;
    c.longDesc = "<p>long\ntext\x01</p>";
    c.longDescHtml = 1;
    c.hint = "pod kamenem";
    c.attributes = {"dogs-yes", "scenic-no"};
    auto log = std::make_unique<CGeoLog>();
    log->logId = 99;
    log->date = 20111123;
    log->type = LogType::DidntFindIt;
    log->finder = "Zdeněk";
    log->finderId = n == 1 ? 0 : 7;
    log->text = "Nic ]]> tu není";
    c.logs.push_back(std::move(log));
    auto w = std::make_unique<CWaypoint>();
    w->prefix = "PK";
    w->code = code;
    w->name = "Parkoviště";
    w->text = "park here";
    w->type = WaypointType::Parking;
    w->lat = 49.317517;
    w->lon = 8.545083;
    c.waypoints.push_back(std::move(w));
    return c;
}

// A stage whose file gave no position.
void addUnplacedStage(CGeocache& c)
{
    auto w = std::make_unique<CWaypoint>();
    w->prefix = "S2";
    w->code = c.code;
    w->name = "Station 1";
    w->type = WaypointType::Stage;
    c.waypoints.push_back(std::move(w));
}

class GpxExportTest : public test::TempDirTest {
protected:
    std::filesystem::path write(const std::vector<CGeocache>& caches)
    {
        const auto path = dir / "caches.gpx";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        GpxWriter writer(f);
        writer.header(1322164800);
        for (const auto& c : caches)
            writer.cache(c);
        writer.footer();
        EXPECT_TRUE(writer.ok());
        std::fclose(f);
        return path;
    }

    static int run(const std::string& command) { return std::system(command.c_str()); }
};

TEST_F(GpxExportTest, EmptyListIsHeaderAndEnd)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string text = test::readFile(write({}));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
    EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<gpx ", 0), 0u);
    EXPECT_NE(text.find("<time>2011-11-24T20:00:00Z</time>\n<keywords>"), std::string::npos);
    EXPECT_TRUE(text.ends_with("</keywords>\n</gpx>\n"));
}

TEST_F(GpxExportTest, LinesOfOneCache)
{
    std::vector<CGeocache> caches;
    caches.push_back(sample("GC1A2B3", 1));
    const std::string text = test::readFile(write(caches));
    EXPECT_NE(text.find("<wpt lat=\"-32.867500\" lon=\"151.207000\">"), std::string::npos);
    EXPECT_NE(text.find("<groundspeak:difficulty>1.5</groundspeak:difficulty>\n"
                        "<groundspeak:terrain>2</groundspeak:terrain>"),
              std::string::npos);
    EXPECT_NE(text.find("available=\"False\" archived=\"False\""), std::string::npos);
    EXPECT_EQ(text.find("<groundspeak:owner"), std::string::npos); // no owner id
    EXPECT_NE(text.find("<groundspeak:placed_by><![CDATA[vptsz]]></groundspeak:placed_by>"), std::string::npos);
    EXPECT_NE(text.find("<groundspeak:finder><![CDATA[Zdeněk]]>"), std::string::npos);
    EXPECT_NE(text.find("<name>PK1A2B3</name>"), std::string::npos);
    EXPECT_NE(text.find("<sym>Parking Area</sym>\n<type>Waypoint|Parking Area</type>"), std::string::npos);
    EXPECT_EQ(text.find('\x01'), std::string::npos);
}

TEST_F(GpxExportTest, ReimportGivesTheSameCaches)
{
    std::vector<CGeocache> caches;
    for (int n = 0; n < 3; ++n)
        caches.push_back(sample("GC1A2B" + std::to_string(n), n));
    addUnplacedStage(caches[1]);
    const auto path = write(caches);
    // No date is written where there is none: 1970 would read back as a date.
    EXPECT_EQ(test::readFile(path).find("1970-"), std::string::npos);

    CollectingStore store;
    CGpxImporter importer(store, "");
    CUtf8FileSource source(path);
    ASSERT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
    ASSERT_EQ(store.caches.size(), 3u);
    ASSERT_EQ(store.waypoints.size(), 4u);
    // The stage without a position comes back without one, and as a stage.
    const CWaypoint unplaced = store.waypoints[2];
    EXPECT_EQ(unplaced.code, "S21A2B1");
    EXPECT_EQ(unplaced.type, WaypointType::Stage);
    EXPECT_FALSE(hasPosition(unplaced));
    store.waypoints.erase(store.waypoints.begin() + 2);
    for (int n = 0; n < 3; ++n) {
        const CGeocache& a = caches[static_cast<std::size_t>(n)];
        const CGeocache& b = *store.caches[static_cast<std::size_t>(n)];
        EXPECT_EQ(b.code, a.code);
        EXPECT_EQ(b.guid, a.guid);
        EXPECT_EQ(b.name, a.name);
        EXPECT_EQ(b.author, a.author);
        EXPECT_NEAR(b.lat, a.lat, 1e-6);
        EXPECT_NEAR(b.lon, a.lon, 1e-6);
        EXPECT_EQ(b.type, a.type);
        EXPECT_EQ(b.size, a.size);
        EXPECT_EQ(b.difficulty, a.difficulty);
        EXPECT_EQ(b.terrain, a.terrain);
        EXPECT_EQ(b.status, a.status);
        EXPECT_EQ(b.hidden, a.hidden);
        EXPECT_EQ(b.cacheId, a.cacheId);
        EXPECT_EQ(b.country, a.country);
        EXPECT_EQ(b.text, a.text);
        EXPECT_EQ(b.longDesc, "<p>long\ntext</p>");
        EXPECT_EQ(b.longDescHtml, 1);
        EXPECT_EQ(b.hint, a.hint);
        EXPECT_EQ(b.attributes, a.attributes);
        ASSERT_EQ(b.logs.size(), 1u);
        EXPECT_EQ(b.logs[0]->text, a.logs[0]->text);
        EXPECT_EQ(b.logs[0]->finder, a.logs[0]->finder);
        EXPECT_EQ(b.logs[0]->date, a.logs[0]->date);
        EXPECT_EQ(b.logs[0]->type, a.logs[0]->type);
        const CWaypoint& w = store.waypoints[static_cast<std::size_t>(n)];
        EXPECT_EQ(w.code, "PK" + a.code.substr(2));
        EXPECT_EQ(w.name, "Parkoviště");
        EXPECT_EQ(w.text, "park here");
        EXPECT_EQ(w.type, WaypointType::Parking);
    }
}

TEST_F(GpxExportTest, AddressesAreWholeOrNone)
{
    // Readers of the export open the address as it is: a guid goes out on
    // the site's detail page, an address an older import kept in its place
    // as it came, and no address is made of anything else.
    std::vector<CGeocache> caches;
    for (const char* guid : {"0eba627b-bc4c", "https://www.geocaching.com/geocache/GCGCA8", "", "/seek/x?y"}) {
        caches.push_back(sample("GC1A2B" + std::to_string(caches.size()), 1));
        caches.back().guid = guid;
        caches.back().waypoints[0]->guid = caches.size() == 1 ? "8c477354-2612" : "";
    }
    const std::string text = test::readFile(write(caches));
    EXPECT_NE(text.find("<url>https://www.geocaching.com/seek/cache_details.aspx?guid=0eba627b-bc4c</url>"),
              std::string::npos);
    EXPECT_NE(text.find("<url>https://www.geocaching.com/seek/wpt.aspx?WID=8c477354-2612</url>"), std::string::npos);
    EXPECT_NE(text.find("<url>https://www.geocaching.com/geocache/GCGCA8</url>"), std::string::npos);
    EXPECT_EQ(text.find("<url>/"), std::string::npos);
    std::size_t urls = 0;
    for (std::size_t at = text.find("<url>"); at != std::string::npos; at = text.find("<url>", at + 1))
        ++urls;
    EXPECT_EQ(urls, 3u);
}

TEST_F(GpxExportTest, CharactersXmlForbidsAreLeftOut)
{
    // U+FFFE, U+FFFF, U+FDD0, U+1FFFE, an encoded surrogate and a byte that
    // is no UTF-8 at all.
    const std::string forbidden = "\xEF\xBF\xBE|\xEF\xBF\xBF|\xEF\xB7\x90|\xF0\x9F\xBF\xBE|\xED\xA0\x80|\xFF";
    std::vector<CGeocache> caches;
    caches.push_back(sample("GC1A2B3", 1));
    caches[0].name = "A" + forbidden + "Z";
    caches[0].longDesc = forbidden;
    caches[0].country = forbidden;
    const auto path = write(caches);
    const std::string text = test::readFile(path);
    for (const char* bytes :
         {"\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xEF\xB7\x90", "\xF0\x9F\xBF\xBE", "\xED\xA0\x80", "\xFF|"})
        EXPECT_EQ(text.find(bytes), std::string::npos) << bytes;
    EXPECT_NE(text.find("<groundspeak:name><![CDATA[A|||||\xEF\xBF\xBDZ]]>"), std::string::npos);
    TW_REQUIRE_PROGRAM("xmllint");
    EXPECT_EQ(run("xmllint --noout " + path.string() + " 2>/dev/null"), 0);
}

TEST_F(GpxExportTest, OtherReadersAcceptTheFile)
{
    std::vector<CGeocache> caches;
    for (int n = 0; n < 3; ++n)
        caches.push_back(sample("GC1A2B" + std::to_string(n), n));
    addUnplacedStage(caches[2]);
    const auto path = write(caches);

    TW_REQUIRE_CORPUS();
    TW_REQUIRE_PROGRAM("xmllint");
    TW_REQUIRE_PROGRAM("gpsbabel");
    const auto schemas = test::corpusDir() / "schemas";
    {
        // One schema for both namespaces, so the cache elements are checked too.
        test::writeFile(dir / "both.xsd",
                        "<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\">"
                        "<xs:import namespace=\"http://www.topografix.com/GPX/1/0\" schemaLocation=\"" +
                            (schemas / "gpx10.xsd").string() +
                            "\"/><xs:import namespace=\"http://www.groundspeak.com/cache/1/0/1\" "
                            "schemaLocation=\"" +
                            (schemas / "cache101.xsd").string() + "\"/></xs:schema>");
        EXPECT_EQ(run("xmllint --noout --schema " + (dir / "both.xsd").string() + " " + path.string() +
                      " 2>" + (dir / "xmllint.txt").string()),
                  0)
            << test::readFile(dir / "xmllint.txt");
    }
    {
        const auto out = dir / "babel.csv";
        ASSERT_EQ(run("gpsbabel -i gpx -f " + path.string() + " -o unicsv -F " + out.string() + " 2>/dev/null"), 0);
        const std::string csv = test::readFile(out);
        // Three caches and their four waypoints, the one without a position at 0, 0.
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 8) << csv;
        EXPECT_NE(csv.find("0.000000,0.000000,\"S21A2B2\""), std::string::npos) << csv;
        EXPECT_NE(csv.find("GC1A2B1"), std::string::npos);
        EXPECT_NE(csv.find("PK1A2B2"), std::string::npos);
    }
}

} // namespace
} // namespace tw

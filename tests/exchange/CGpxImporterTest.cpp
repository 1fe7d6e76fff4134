// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CGpxImporter.h"
#include "exchange/CUtf8StreamSource.h"
#include "platform/JobProgress.h"
#include "platform/RecordingJobProgress.h"
#include "tests/TestSupport.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/Utf16.h"

#include <algorithm>
#include <chrono>
#include <map>

namespace tw {
namespace {

// Keeps what the import hands over; answers like the database would for an
// empty database (new caches) or for one holding the listed caches.
class FakeStore final : public ImportStore {
public:
    int StoreImportedCache(CGeocache& cache) override
    {
        caches.push_back(cache);
        order += 'c';
        shortNames.push_back(cache.shortName);
        caches.back().attributes = cache.attributes;
        logs.push_back(cache.logs.size());
        for (const auto& log : cache.logs)
            logTypes.push_back(log->type);
        lastText = cache.text;
        lastLongDesc = cache.longDesc;
        lastHint = cache.hint;
        for (const auto& log : cache.logs)
            logTexts.push_back(log->finder + ": " + log->text);
        return cacheResult;
    }
    int StoreImportedWaypoint(CWaypoint& waypoint) override
    {
        waypoints.push_back(waypoint);
        order += 'w';
        return waypointResult;
    }
    bool endBatch() override
    {
        order += '|';
        return true;
    }
    std::vector<CGeocache> caches;
    std::vector<std::size_t> logs;
    std::vector<int> logTypes; // of all caches
    std::vector<std::string> shortNames;
    std::vector<CWaypoint> waypoints;
    std::string lastText, lastLongDesc, lastHint;
    std::vector<std::string> logTexts; // "finder: text" of every log, in order
    std::string order;                  // 'c' a cache, 'w' a waypoint, '|' a batch's end
    int cacheResult = 1;
    int waypointResult = 2;
};

std::string wpt(const std::string& inner, const std::string& name = "GC1ABCD")
{
    return "<wpt lat=\"49.5\" lon=\"-8.25\"><name>" + name + "</name>" + inner + "</wpt>";
}

// A cache with nothing but its code: the cache element makes it one.
std::string bareCache(const std::string& name)
{
    return wpt("<groundspeak:cache/>", name);
}

CGpxImporter::Outcome importText(FakeStore& store, const std::string& gpx, const std::string& nick = "me",
                                 JobProgress* progress = nullptr)
{
    CGpxImporter importer(store, nick);
    CUtf8MemorySource source(gpx);
    return importer.parse(source, progress);
}

TEST(GpxImport, CacheFieldsFromThePocketQueryElements)
{
    FakeStore store;
    const std::string gpx =
        "<gpx>" +
        wpt("<time>2011-08-05T07:00:00Z</time>"
            "<url>http://www.example.org/seek/cache_details.aspx?guid=abc-123</url>"
            "<groundspeak:cache id=\"123\" available=\"False\" archived=\"False\">"
            "<groundspeak:name>Studánka</groundspeak:name><groundspeak:owner id=\"77\">Kovář</groundspeak:owner>"
            "<groundspeak:type>Mega-Event Cache</groundspeak:type><groundspeak:container>Small</groundspeak:container>"
            "<groundspeak:difficulty>2.5</groundspeak:difficulty><groundspeak:terrain>1.5</groundspeak:terrain>"
            "<groundspeak:attributes><groundspeak:attribute id=\"1\" inc=\"0\">Dogs</groundspeak:attribute>"
            "<groundspeak:attribute id=\"8\" inc=\"1\">Scenic</groundspeak:attribute></groundspeak:attributes>"
            "<groundspeak:short_description html=\"False\">short</groundspeak:short_description>"
            "<groundspeak:long_description html=\"True\"><![CDATA[<b>long</b>]]></groundspeak:long_description>"
            "<groundspeak:encoded_hints>M&#xFC;hle</groundspeak:encoded_hints>"
            "<groundspeak:travelbugs><groundspeak:travelbug><groundspeak:name>Bug</groundspeak:name>"
            "<groundspeak:type>Travel Bug</groundspeak:type></groundspeak:travelbug></groundspeak:travelbugs>"
            "</groundspeak:cache>") +
        "</gpx>";
    EXPECT_EQ(importText(store, gpx), CGpxImporter::Outcome::Complete);
    ASSERT_EQ(store.caches.size(), 1u);
    const CGeocache& c = store.caches[0];
    EXPECT_EQ(c.code, "GC1ABCD");
    EXPECT_DOUBLE_EQ(c.lat, 49.5);
    EXPECT_DOUBLE_EQ(c.lon, -8.25);
    EXPECT_EQ(c.hidden, 20110805);
    EXPECT_EQ(c.guid, "abc-123");
    EXPECT_EQ(c.cacheId, 123);
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.name, "Studánka"); // not the travel bug's name
    EXPECT_EQ(c.author, "Kovář");
    EXPECT_EQ(c.ownerId, 77);
    EXPECT_EQ(c.type, CacheType::Event);
    EXPECT_EQ(c.size, CacheSize::Small);
    EXPECT_EQ(c.difficulty, 25);
    EXPECT_EQ(c.terrain, 15);
    EXPECT_EQ(c.attributes, (std::vector<std::string>{"dogs-no", "scenic-yes"}));
    EXPECT_EQ(store.lastText, "short");
    EXPECT_EQ(store.lastLongDesc, "<b>long</b>");
    EXPECT_EQ(store.lastHint, "Mühle");
}

struct StatusCase {
    const char* name;
    const char* available;
    const char* archived;
    int status;
};

class GpxStatus : public ::testing::TestWithParam<StatusCase> {};

TEST_P(GpxStatus, FromAvailableAndArchived)
{
    FakeStore store;
    const auto& p = GetParam();
    importText(store, "<gpx>" +
                          wpt(std::string("<groundspeak:cache id=\"1\" available=\"") + p.available +
                              "\" archived=\"" + p.archived + "\"></groundspeak:cache>") +
                          "</gpx>");
    ASSERT_EQ(store.caches.size(), 1u);
    EXPECT_EQ(store.caches[0].status, p.status);
}

INSTANTIATE_TEST_SUITE_P(Gpx, GpxStatus,
                         ::testing::Values(StatusCase{"Available", "True", "False", 0},
                                           StatusCase{"Disabled", "False", "False", 1},
                                           StatusCase{"Archived", "True", "True", 2},
                                           StatusCase{"ArchivedAndDisabled", "False", "True", 2},
                                           StatusCase{"LowerCaseIsNotFalse", "false", "false", 0}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(GpxImport, FoundDateComesFromTheUsersOwnFoundLog)
{
    const auto logOf = [](const char* finder, const char* type) {
        return std::string("<groundspeak:log id=\"9\"><groundspeak:type>") + type +
               "</groundspeak:type><groundspeak:finder id=\"5\">" + finder +
               "</groundspeak:finder><groundspeak:date>2011-11-24T19:00:00Z</groundspeak:date>"
               "<groundspeak:text encoded=\"False\">TFTC</groundspeak:text></groundspeak:log>";
    };
    const auto gpx = [&](const std::string& logs) {
        return "<gpx>" +
               wpt("<groundspeak:cache id=\"1\"><groundspeak:type>Traditional Cache</groundspeak:type>"
                   "<groundspeak:logs>" +
                   logs + "</groundspeak:logs></groundspeak:cache>") +
               "</gpx>";
    };
    FakeStore mine, other, note, nobody;
    importText(mine, gpx(logOf("Jiří", "Found it") + logOf("x", "Write note")), "Jiří");
    importText(other, gpx(logOf("jiří", "Found it")), "Jiří");
    importText(note, gpx(logOf("Jiří", "Didn't find it")), "Jiří");
    importText(nobody, gpx(logOf("", "Found it")), "");
    EXPECT_EQ(mine.caches[0].found, 20111124);
    EXPECT_EQ(mine.logs[0], 2u);
    EXPECT_EQ(mine.caches[0].type, CacheType::Traditional); // a log's type is not the cache's
    EXPECT_EQ(other.caches[0].found, 0);
    EXPECT_EQ(note.caches[0].found, 0);
    EXPECT_EQ(nobody.caches[0].found, 0);
}

TEST(GpxImport, CachesByTheirElementWaypointsByTheirName)
{
    FakeStore store;
    RecordingJobProgress progress;
    // A cache has the cache element; a code without it is a position alone,
    // and names too long for a prefix and a code belong to no cache.
    const std::string gpx = "<gpx>" + bareCache("GC1ABCD") + wpt("", "GC1ABCD") + bareCache("GC1ABCDEFG") +
                            wpt("<desc>Parkplatz</desc><sym>Parking Area</sym>"
                                "<url>http://www.example.org/seek/wpt.aspx?WID=w-1</url>",
                                "PK1ABCD") +
                            wpt("<sym>Virtual Stage</sym>", "S11ABCDE") + "</gpx>";
    CGpxImporter importer(store, "me");
    CUtf8MemorySource source(gpx);
    importer.parse(source, &progress);
    ASSERT_EQ(store.caches.size(), 1u);
    EXPECT_EQ(store.caches[0].code, "GC1ABCD");
    ASSERT_EQ(store.waypoints.size(), 1u);
    const CWaypoint& w = store.waypoints[0];
    EXPECT_EQ(w.code, "PK1ABCD"); // the store splits it
    EXPECT_EQ(w.name, "Parkplatz");
    EXPECT_EQ(w.type, WaypointType::Parking);
    EXPECT_EQ(w.guid, "w-1");
    EXPECT_DOUBLE_EQ(w.lat, 49.5);
    EXPECT_EQ(progress.counter(1), 1);
    EXPECT_EQ(progress.counter(2), 1);
    // Not "skipped": that counter is for caches already there.
    EXPECT_EQ(progress.counter(3), 0);
    EXPECT_EQ(importer.notCaches(), 3);

    // A waypoint whose cache the database lacks is no geocache either.
    FakeStore noCache;
    noCache.waypointResult = 3;
    CGpxImporter alone(noCache, "");
    const std::string wptsFile = "<gpx>" + wpt("", "S131J2H") + "</gpx>";
    CUtf8MemorySource wpts(wptsFile); // the source reads the text where it is
    alone.parse(wpts, nullptr);
    EXPECT_EQ(alone.notCaches(), 1);
    EXPECT_EQ(alone.skipped(), 0);
}

struct CodeCase {
    const char* name;
    std::string inner; // the entry's elements after its name
    const char* fileName;
    const char* code;  // empty: no geocache
    const char* shortName;
};

class GpxCode : public ::testing::TestWithParam<CodeCase> {};

TEST_P(GpxCode, AsTheWritingProgramMeantIt)
{
    const CodeCase& p = GetParam();
    FakeStore store;
    store.waypointResult = 3; // as a database without such a cache
    CGpxImporter importer(store, "");
    const std::string gpx = "<gpx>" + wpt(p.inner, p.fileName) + "</gpx>";
    CUtf8MemorySource source(gpx);
    importer.parse(source, nullptr);
    if (*p.code == '\0') {
        EXPECT_TRUE(store.caches.empty());
        EXPECT_EQ(importer.notCaches(), 1);
        return;
    }
    ASSERT_EQ(store.caches.size(), 1u);
    EXPECT_EQ(store.caches[0].code, p.code);
    EXPECT_EQ(store.shortNames[0], p.shortName);
    EXPECT_FALSE(store.caches[0].name.empty());
}

const std::string kTitled = "<groundspeak:name>A title</groundspeak:name></groundspeak:cache>";
const std::string kGsak = "<extensions><gsak:wptExtension xmlns:gsak=\"http://www.gsak.net/xmlv1/6\">";

INSTANTIATE_TEST_SUITE_P(
    Gpx, GpxCode,
    ::testing::Values(
        CodeCase{"ManagersCodeOverItsShortName", kGsak + "<gsak:Code>GC1XCEW</gsak:Code></gsak:wptExtension>"
                                                 "<groundspeak:cache id=\"5\">" + kTitled + "</extensions>",
                 "EastLa", "GC1XCEW", "EastLa"},
        CodeCase{"NameThatIsACode", "<groundspeak:cache id=\"5\">" + kTitled, "OC5952", "OC5952", ""},
        CodeCase{"CodeInTheQuery", "<url>http://www.geocaching.com/seek/cache_details.aspx?wp=GC1T3MK</url>"
                                   "<groundspeak:cache id=\"5\">" + kTitled,
                 "A title", "GC1T3MK", ""},
        CodeCase{"CodeInAGpx11Link", "<link href=\"https://www.geocaching.com/geocache/GCGCA8\"><text>x</text></link>"
                                     "<groundspeak:cache>" + kTitled,
                 "Titel", "GCGCA8", "Titel"},
        CodeCase{"ShortAddress", "<url>http://coord.info/GCYGQ6</url><groundspeak:cache>" + kTitled, "Titel",
                 "GCYGQ6", "Titel"},
        CodeCase{"NumericId", "<groundspeak:cache id=\"1260698\">" + kTitled, "\"Wunnibert\"", "GC1T3MK",
                 "\"Wunnibert\""},
        CodeCase{"RoutePlannerWithoutGc", "<groundspeak:cache>" + kTitled, "4EPC0", "GC4EPC0", "4EPC0"},
        CodeCase{"LabCacheId", "<groundspeak:cache id=\"-635824454\">" + kTitled, "01_Walk", "LCP6XKQ6", "01_Walk"},
        CodeCase{"TitleAloneIsItsName", "<groundspeak:cache id=\"1260698\"/>", "Brunnen", "GC1T3MK", ""},
        CodeCase{"NothingNamesACode", "<groundspeak:cache>" + kTitled, "A title", "", ""},
        CodeCase{"NoCacheElement", "<url>http://coord.info/GCYGQ6</url>", "A title", "", ""}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(GpxImport, WaypointsOfOtherPlatformsFindTheirCache)
{
    // By the manager's parent field, or by the tail of a cache of this job.
    const std::string parent = "<extensions><gsak:wptExtension><gsak:Parent>OCF19A</gsak:Parent>"
                               "</gsak:wptExtension></extensions>";
    const std::string gpx = "<gpx>" + bareCache("OCF19A") + wpt(parent, "OCF19A-1") + wpt(parent, "S1F19A") +
                            wpt("", "PKF19A") + bareCache("GC1ABCD") + wpt("", "PK1ABCD") + wpt(parent, "OCF19A") +
                            "</gpx>";
    FakeStore store;
    CGpxImporter importer(store, "");
    CUtf8MemorySource source(gpx);
    importer.parse(source, nullptr);
    ASSERT_EQ(store.waypoints.size(), 4u);
    const auto where = [&](std::size_t i) { return store.waypoints[i].code + "/" + store.waypoints[i].prefix; };
    EXPECT_EQ(where(0), "OCF19A/1");
    EXPECT_EQ(where(1), "OCF19A/S1");
    EXPECT_EQ(where(2), "OCF19A/PK");
    EXPECT_EQ(where(3), "PK1ABCD/"); // the store puts GC back
    EXPECT_EQ(importer.notCaches(), 1); // the cache's own name as its child
}

TEST(GpxImport, FoundWhenTheFileSaysTheUserFoundIt)
{
    const auto log = [](const char* finder, const char* type, const char* date) {
        return std::string("<groundspeak:log><groundspeak:date>") + date + "</groundspeak:date><groundspeak:type>" +
               type + "</groundspeak:type><groundspeak:finder>" + finder + "</groundspeak:finder></groundspeak:log>";
    };
    const auto cache = [](const std::string& before, const std::string& logs, const char* code) {
        return wpt(before + "<groundspeak:cache><groundspeak:logs>" + logs + "</groundspeak:logs></groundspeak:cache>",
                   code);
    };
    const std::string someoneFound = log("Someone", "Found it", "2012-03-04T00:00:00Z");
    const std::string entries =
        cache("<sym>Geocache Found</sym>", "", "GC11") +
        cache("<extensions><gsak:wptExtension><gsak:UserFound>2011-01-08</gsak:UserFound></gsak:wptExtension>"
              "</extensions>",
              someoneFound, "GC12") +
        cache("", someoneFound, "GC13") +
        cache("", someoneFound + log("Other", "Found it", "2013-01-01T00:00:00Z"), "GC14") +
        cache("<sym>Geocache</sym>", log("Someone", "Attended", "2014-05-06T00:00:00Z"), "GC15");
    const auto foundDates = [](const std::string& gpx) {
        FakeStore store;
        importText(store, gpx, "");
        std::vector<int> dates;
        for (const auto& c : store.caches)
            dates.push_back(c.found);
        return dates;
    };
    // An ordinary file: someone else's find is not the user's.
    const std::vector<int> plain = foundDates("<gpx><name>Caches near home</name>" + entries + "</gpx>");
    ASSERT_EQ(plain.size(), 5u);
    EXPECT_GT(plain[0], 20200101); // found on a day the file does not tell
    EXPECT_EQ(plain[1], 20110108);
    EXPECT_EQ(plain[2], 0);
    EXPECT_EQ(plain[3], 0);
    EXPECT_EQ(plain[4], 0);
    // The query of the user's own finds: its find logs are the user's, as
    // long as one finder wrote them.
    const std::vector<int> mine = foundDates("<gpx><name>My Finds Pocket Query</name>" + entries + "</gpx>");
    ASSERT_EQ(mine.size(), 5u);
    EXPECT_EQ(mine[1], 20110108);
    EXPECT_EQ(mine[2], 20120304);
    EXPECT_EQ(mine[3], 0);
    EXPECT_EQ(mine[4], 20140506);
    // The name of an entry is not the document's.
    EXPECT_EQ(foundDates("<gpx>" + cache("", someoneFound, "GC16") + "<name>My Finds Pocket Query</name>" +
                         cache("", someoneFound, "GC17") + "</gpx>"),
              (std::vector<int>{0, 0}));
}

TEST(GpxImport, Gpx11LinksGiveTheGuidAndAddressesAreNoGuids)
{
    FakeStore store;
    const std::string gpx =
        "<gpx version=\"1.1\"><metadata><link href=\"http://gsak.net\"><text>x</text></link></metadata>" +
        wpt("<link href=\"http://www.geocaching.com/seek/cache_details.aspx?guid=d71f0f8b\"><text>t</text></link>"
            "<groundspeak:cache id=\"1358542\"/>",
            "EastLa") +
        wpt("<url>https://www.geocaching.com/geocache/GCGCA8</url><groundspeak:cache/>", "GCGCA8") +
        wpt("<link href=\"http://www.geocaching.com/seek/wpt.aspx?WID=8c47\"/>", "PK1XCEW") + "</gpx>";
    importText(store, gpx);
    ASSERT_EQ(store.caches.size(), 2u);
    EXPECT_EQ(store.caches[0].code, "GC1XCEW");
    EXPECT_EQ(store.caches[0].guid, "d71f0f8b");
    EXPECT_EQ(store.caches[1].guid, "");
    ASSERT_EQ(store.waypoints.size(), 1u);
    EXPECT_EQ(store.waypoints[0].guid, "8c47");
}

TEST(GpxImport, EndsEarlyAreReportedAndCancelStopsAfterTheEntry)
{
    FakeStore a, b, c;
    EXPECT_EQ(importText(a, "<gpx>" + bareCache("GC1ABCD")), CGpxImporter::Outcome::Truncated);
    EXPECT_EQ(a.caches.size(), 1u);
    EXPECT_EQ(importText(b, "<gpx>" + bareCache("GC1ABCD") + "<wpt lat=\"1\" lon=\"2\"><name>GC2"),
              CGpxImporter::Outcome::Truncated);
    EXPECT_EQ(b.caches.size(), 1u);

    CGpxImporter importer(c, "");
    importer.cancel = true;
    const std::string gpx = "<gpx>" + bareCache("GC1") + bareCache("GC2") + "</gpx>";
    CUtf8MemorySource source(gpx);
    EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Cancelled);
    EXPECT_EQ(c.caches.size(), 1u);
}

// One cache per name, each name in the bytes of the document's encoding.
std::string pocketQuery(const std::string& declaration, const std::vector<std::string>& names)
{
    std::string gpx = declaration + "<gpx>\n";
    for (std::size_t i = 0; i < names.size(); ++i)
        gpx += wpt("<groundspeak:cache id=\"" + std::to_string(i) + "\"><groundspeak:name>" + names[i] +
                       "</groundspeak:name></groundspeak:cache>",
                   "GC" + std::to_string(10000 + i)) +
               "\n";
    return gpx + "</gpx>\n";
}

std::size_t cachesNamed(const FakeStore& store, const std::string& name)
{
    return static_cast<std::size_t>(
        std::count_if(store.caches.begin(), store.caches.end(), [&](const CGeocache& c) { return c.name == name; }));
}

TEST(GpxImport, EncodingsOfTheDeclarationAndTheByteOrderMark)
{
    struct Case {
        std::string encoding, name, utf8;
    };
    const Case cases[] = {
        {"ISO-8859-1", "Ch\xE2teau \xE0 l'\xEEle, Gro\xDF" "e M\xFChle", "Château à l'île, Große Mühle"},
        {"windows-1250", "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2", "Příliš žluťoučký kůň"},
        {"iso-8859-2", "P\xF8\xEDli\xB9 \xBElu\xBBou\xE8k\xFD k\xF9\xF2", "Příliš žluťoučký kůň"},
        {"windows-1252", "Caf\xE9 \x80 5", "Café € 5"},
        {"x-unheard-of", "Kůň", "Kůň"}, // an unknown name reads as UTF-8
    };
    for (const Case& c : cases) {
        FakeStore store;
        const auto gpx = pocketQuery("<?xml version=\"1.0\" encoding='" + c.encoding + "'?>\n",
                                     std::vector<std::string>(300, c.name));
        EXPECT_EQ(importText(store, gpx), CGpxImporter::Outcome::Complete) << c.encoding;
        EXPECT_EQ(cachesNamed(store, c.utf8), 300u) << c.encoding;
    }
    CUtf8MemorySource unknown("<?xml version=\"1.0\" encoding=\"x-unheard-of\"?><gpx/>");
    EXPECT_EQ(unknown.GetChar(), u'<');
    EXPECT_EQ(unknown.unknownEncoding(), "x-unheard-of");
    EXPECT_EQ(unknown.encoding(), "UTF-8");

    // UTF-16 with a byte-order mark, either way round; a character beyond
    // U+FFFF arrives whole.
    const std::u16string text = toUtf16(pocketQuery("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\n",
                                                    std::vector<std::string>(300, "Kůň \xF0\x9F\x98\x80")));
    for (const bool little : {true, false}) {
        std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
        for (const char16_t u : text) {
            const char low = static_cast<char>(u & 0xFF), high = static_cast<char>(u >> 8);
            bytes += little ? std::string{low, high} : std::string{high, low};
        }
        FakeStore store;
        EXPECT_EQ(importText(store, bytes), CGpxImporter::Outcome::Complete);
        EXPECT_EQ(cachesNamed(store, "Kůň \xF0\x9F\x98\x80"), 300u) << little;
    }
}

TEST(GpxImport, StrayBytesDoNotEndTheImport)
{
    const std::string nul(1, '\0');
    const auto cache = [](const std::string& name, const std::string& code) {
        return wpt("<groundspeak:cache><groundspeak:name>" + name + "</groundspeak:name></groundspeak:cache>", code);
    };
    const std::string gpx = "<gpx>" + nul + "\xFF" + cache("A\x80" "B", "GC1") + cache("\xFFZ", "GC2") + nul +
                            cache(nul + "N" + nul, "GC3") + cache("Ende\xC3", "GC4") + "</gpx>";
    FakeStore store;
    EXPECT_EQ(importText(store, gpx), CGpxImporter::Outcome::Complete);
    ASSERT_EQ(store.caches.size(), 4u);
    EXPECT_EQ(store.caches[0].name, "A\xEF\xBF\xBD" "B");
    EXPECT_EQ(store.caches[1].name, "\xEF\xBF\xBDZ");
    EXPECT_EQ(store.caches[2].name, "N");
    EXPECT_EQ(store.caches[3].name, "Ende\xEF\xBF\xBD");
}

TEST(GpxImport, SectionEndOnTheTokenizersChunkBoundary)
{
    for (const bool comment : {false, true}) {
        for (std::size_t length = 8187; length <= 8192; ++length) {
            const std::string text(length, 'x');
            std::string gpx = "<gpx>";
            for (int i = 0; i < 5; ++i)
                gpx += wpt("<groundspeak:cache id=\"1\"><groundspeak:long_description html=\"False\">" +
                               (comment ? "<!--" + text + "-->" : "<![CDATA[" + text + "]]>") +
                               "</groundspeak:long_description></groundspeak:cache>",
                           "GC" + std::to_string(100 + i));
            FakeStore store;
            EXPECT_EQ(importText(store, gpx + "</gpx>"), CGpxImporter::Outcome::Complete) << comment << length;
            EXPECT_EQ(store.caches.size(), 5u) << comment << length;
            EXPECT_EQ(store.lastLongDesc, text) << comment << length;
        }
    }
}

// Emoji in every text a pocket query carries, written as UTF-8 and as
// references, read from memory, from a file and from a stream in small
// pieces, with a sequence across every place of the read buffer's end.
class GpxImportFile : public test::TempDirTest {};

TEST_F(GpxImportFile, CharactersBeyondTheBasicPlaneArriveWhole)
{
    const std::string horn = "\xF0\x9F\x93\xAF", hundred = "\xF0\x9F\x92\xAF", kanji = "\xF0\xA0\x80\x8B";
    const std::string entry =
        wpt("<groundspeak:cache id=\"1\"><groundspeak:name>" + horn + " Horn &#128175;</groundspeak:name>"
            "<groundspeak:owner>" + kanji + "</groundspeak:owner>"
            "<groundspeak:long_description html=\"False\"><![CDATA[" + hundred + "]]></groundspeak:long_description>"
            "<groundspeak:encoded_hints>&#x1F4AF; " + horn + "</groundspeak:encoded_hints>"
            "<groundspeak:logs><groundspeak:log><groundspeak:finder>" + kanji + "</groundspeak:finder>"
            "<groundspeak:text>TFTC " + horn + horn + "</groundspeak:text></groundspeak:log></groundspeak:logs>"
            "</groundspeak:cache>") +
        wpt("<desc>Parking " + horn + "</desc><cmt>&#x1f4af;</cmt>", "PK1ABCD");
    const auto check = [&](const FakeStore& store, const std::string& how) {
        ASSERT_EQ(store.caches.size(), 1u) << how;
        EXPECT_EQ(store.caches[0].name, horn + " Horn " + hundred) << how;
        EXPECT_EQ(store.caches[0].author, kanji) << how;
        EXPECT_EQ(store.lastLongDesc, hundred) << how;
        EXPECT_EQ(store.lastHint, hundred + " " + horn) << how;
        EXPECT_EQ(store.logTexts, std::vector<std::string>{kanji + ": TFTC " + horn + horn}) << how;
        ASSERT_EQ(store.waypoints.size(), 1u) << how;
        EXPECT_EQ(store.waypoints[0].name, "Parking " + horn) << how;
        EXPECT_EQ(store.waypoints[0].text, hundred) << how;
    };
    {
        FakeStore store;
        EXPECT_EQ(importText(store, "<gpx>" + entry + "</gpx>"), CGpxImporter::Outcome::Complete);
        check(store, "memory");
    }
    for (const std::size_t piece : {1u, 2u, 3u, 5u}) {
        const std::string gpx = "<gpx>" + entry + "</gpx>";
        std::size_t at = 0;
        CUtf8StreamSource source([&](unsigned char* buffer, std::size_t size) -> long long {
            const std::size_t n = std::min({piece, size, gpx.size() - at});
            std::copy_n(gpx.data() + at, n, buffer);
            at += n;
            return static_cast<long long>(n);
        });
        FakeStore store;
        CGpxImporter importer(store, "me");
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
        check(store, std::to_string(piece) + " bytes a read");
    }
    // The file is read 64 KiB at a time: the cache name's first emoji falls
    // across that end in each of its four ways.
    const std::string nameAt = "<groundspeak:name>";
    for (std::size_t shift = 0; shift < 5; ++shift) {
        const std::string head = "<gpx>";
        const std::size_t name = entry.find(nameAt) + nameAt.size();
        const std::string gpx = head + std::string(65536 - head.size() - name - 4 + shift, ' ') + entry + "</gpx>";
        test::writeFile(dir / "pq.gpx", gpx);
        CUtf8FileSource source(dir / "pq.gpx");
        FakeStore store;
        CGpxImporter importer(store, "me");
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
        check(store, "file, shift " + std::to_string(shift));
    }
}

TEST(GpxImport, StoringOnASecondThreadKeepsOrderAndCounts)
{
    std::string gpx = "<gpx>";
    for (int i = 0; i < 300; ++i)
        gpx += wpt("<groundspeak:cache id=\"" + std::to_string(i) + "\"/>", "GC" + std::to_string(10000 + i));
    gpx += wpt("", "PK10007") + "</gpx>";
    FakeStore store;
    RecordingJobProgress progress;
    CGpxImporter importer(store, "");
    importer.setPipelined(true);
    CUtf8MemorySource source(gpx);
    EXPECT_EQ(importer.parse(source, &progress), CGpxImporter::Outcome::Complete);
    ASSERT_EQ(store.caches.size(), 300u);
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(store.caches[static_cast<std::size_t>(i)].cacheId, i);
    EXPECT_EQ(importer.newCaches(), 300);
    EXPECT_EQ(importer.waypoints(), 1);
    EXPECT_EQ(progress.counter(1), 300);

    // Cancelled: what was handed over is stored, nothing after it.
    FakeStore cut;
    CGpxImporter stopped(cut, "");
    stopped.setPipelined(true);
    stopped.cancel = true;
    CUtf8MemorySource again(gpx);
    EXPECT_EQ(stopped.parse(again, nullptr), CGpxImporter::Outcome::Cancelled);
    EXPECT_EQ(cut.caches.size(), 1u);

    // A batch ends before a cache, never between a cache and its waypoints.
    std::string withWaypoints = "<gpx>";
    for (int i = 0; i < 200; ++i) {
        const std::string tail = std::to_string(10000 + i);
        withWaypoints += wpt("<groundspeak:cache id=\"" + std::to_string(i) + "\"/>", "GC" + tail) +
                         wpt("", "PK" + tail) + wpt("", "ST" + tail);
    }
    withWaypoints += "</gpx>";
    FakeStore batched;
    CGpxImporter paired(batched, "");
    paired.setPipelined(true);
    CUtf8MemorySource third(withWaypoints);
    EXPECT_EQ(paired.parse(third, nullptr), CGpxImporter::Outcome::Complete);
    EXPECT_EQ(batched.waypoints.size(), 400u);
    EXPECT_GE(std::count(batched.order.begin(), batched.order.end(), '|'), 3) << batched.order;
    EXPECT_EQ(batched.order.find("|w"), std::string::npos) << batched.order;
}

// Everything of a cache the store is handed, as one line.
class DescribingStore final : public ImportStore {
public:
    int StoreImportedCache(CGeocache& c) override
    {
        std::string d = c.code + "|" + c.name + "|" + c.author + "|" + c.text + "|" + c.longDesc + "|" + c.hint +
                        "|" + c.country + "|" + c.state + "|" + std::to_string(c.type) + std::to_string(c.size) +
                        std::to_string(c.difficulty) + std::to_string(c.found) + "|" +
                        std::to_string(c.packedText.size()) + "," + std::to_string(c.packedLongDesc.size());
        for (const auto& a : c.attributes)
            d += "|" + a;
        for (const auto& l : c.logs)
            d += "|" + l->finder + ":" + l->text + ":" + std::to_string(l->type) + std::to_string(l->date) +
                 std::to_string(l->logId) + ":" + std::to_string(l->packedText.size());
        lines.push_back(d);
        return 1;
    }
    int StoreImportedWaypoint(CWaypoint& w) override
    {
        lines.push_back(w.code + "|" + w.name + "|" + w.text + "|" + w.prefix + std::to_string(w.type));
        return 2;
    }
    std::vector<std::string> lines;
};

TEST(GpxImport, EachEntryReadsAsIfItWereTheOnlyOne)
{
    // Entries with every text and list, and entries with none, in turn: the
    // sparse ones must not inherit what came before them.
    const std::string full =
        "<desc>A full one</desc><cmt>comment</cmt><groundspeak:cache id=\"7\"><groundspeak:name>Full</groundspeak:name>"
        "<groundspeak:owner>Owner</groundspeak:owner><groundspeak:type>Multi-cache</groundspeak:type>"
        "<groundspeak:container>Small</groundspeak:container><groundspeak:difficulty>3.5</groundspeak:difficulty>"
        "<groundspeak:country>Wales</groundspeak:country><groundspeak:state>Gwynedd</groundspeak:state>"
        "<groundspeak:attributes><groundspeak:attribute id=\"1\" inc=\"1\"/><groundspeak:attribute id=\"6\" "
        "inc=\"0\"/></groundspeak:attributes><groundspeak:short_description>short " +
        std::string(300, 's') + "</groundspeak:short_description><groundspeak:long_description>" +
        std::string(5000, 'l') + "</groundspeak:long_description><groundspeak:encoded_hints>under the stone"
                                 "</groundspeak:encoded_hints><groundspeak:logs>";
    std::string logs;
    for (int i = 0; i < 4; ++i)
        logs += "<groundspeak:log id=\"" + std::to_string(100 + i) + "\"><groundspeak:date>2024-03-0" +
                std::to_string(i + 1) + "T00:00:00Z</groundspeak:date><groundspeak:type>Found it</groundspeak:type>"
                "<groundspeak:finder id=\"9\">me</groundspeak:finder><groundspeak:text>log " +
                std::string(700, static_cast<char>('a' + i)) + "</groundspeak:text></groundspeak:log>";
    std::vector<std::string> entries;
    for (int i = 0; i < 150; ++i) {
        const std::string code = "GC" + std::to_string(20000 + i);
        if (i % 3 == 0)
            entries.push_back(wpt(full + logs + "</groundspeak:logs></groundspeak:cache>", code));
        else if (i % 3 == 1)
            entries.push_back(wpt("<groundspeak:cache id=\"8\"/>", code));
        else
            entries.push_back(wpt("", "PK" + std::to_string(20000 + i)));
    }
    auto import = [](const std::string& body, bool pipelined) {
        DescribingStore store;
        CGpxImporter importer(store, "me");
        importer.setPipelined(pipelined);
        const std::string gpx = "<gpx>" + body + "</gpx>";
        CUtf8MemorySource source(gpx);
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
        return store.lines;
    };
    std::string all;
    for (const auto& e : entries)
        all += e;
    for (bool pipelined : {true, false}) {
        std::vector<std::string> alone;
        for (const auto& e : entries)
            alone.push_back(import(e, pipelined).at(0));
        EXPECT_EQ(import(all, pipelined), alone) << (pipelined ? "pipelined" : "on one thread");
    }
}

TEST(GpxImport, PositionsOffTheEarthAreSkipped)
{
    const auto at = [](const char* lat, const char* lon, const std::string& name) {
        return std::string("<wpt lat=\"") + lat + "\" lon=\"" + lon + "\"><name>" + name + "</name>" +
               (name.starts_with("GC") ? "<groundspeak:cache/>" : "") + "</wpt>";
    };
    const std::string gpx = "<gpx>" + at("999", "8", "GC1") + at("1e308", "8", "GC2") + at("NaN", "8", "GC3") +
                            at("49", "-180.5", "GC4") + at("49", "-inf", "GC5") + at("91", "8", "PK6") +
                            at("-90", "180", "GC7") + at("49.5", "8.25", "PK7") + "</gpx>";
    FakeStore store;
    CGpxImporter importer(store, "");
    CUtf8MemorySource source(gpx);
    importer.parse(source, nullptr);
    ASSERT_EQ(store.caches.size(), 1u);
    EXPECT_EQ(store.caches[0].code, "GC7");
    EXPECT_DOUBLE_EQ(store.caches[0].lat, -90);
    ASSERT_EQ(store.waypoints.size(), 1u);
    EXPECT_EQ(store.waypoints[0].code, "PK7");
    // Left out, not counted as caches already there.
    EXPECT_EQ(importer.notCaches(), 6);
    EXPECT_EQ(importer.skipped(), 0);
}

TEST(GpxImport, WaypointsWithoutAPositionAreKeptWithout)
{
    const auto at = [](const std::string& attributes, const std::string& name) {
        return "<wpt" + attributes + "><name>" + name + "</name><sym>Question to Answer</sym></wpt>";
    };
    const std::string gpx = "<gpx>" + wpt("", "PK1ABCD") + at("", "011ABCD") + at(" lat=\"\" lon=\"\"", "021ABCD") +
                            at(" lat=\"49.5\" lon=\"\"", "031ABCD") + at(" lon=\"8.25\"", "041ABCD") +
                            at(" lat=\"0.0\" lon=\"0.0\"", "051ABCD") + "</gpx>";
    FakeStore store;
    CGpxImporter importer(store, "");
    CUtf8MemorySource source(gpx);
    EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
    EXPECT_EQ(importer.skipped(), 0);
    ASSERT_EQ(store.waypoints.size(), 6u);
    // The one before them must not lend them its position.
    EXPECT_TRUE(hasPosition(store.waypoints[0]));
    for (std::size_t i = 1; i < store.waypoints.size(); ++i) {
        EXPECT_FALSE(hasPosition(store.waypoints[i])) << store.waypoints[i].code;
        EXPECT_EQ(store.waypoints[i].type, WaypointType::Question);
    }
}

TEST(GpxImport, WaypointTypeFromSymOrTypeElement)
{
    const std::string gpx =
        "<gpx>" + wpt("<sym>Physical Stage</sym><type>Waypoint|Physical Stage</type>", "S11ABCD") +
        wpt("<sym>Flag, Green</sym><type>Waypoint|Flag, Green</type>", "S21ABCD") +
        wpt("<sym>Pin, Blue</sym><type>Waypoint|Virtual Stage</type>", "Q11ABCD") +
        wpt("<type>WAYPOINT|TRAILHEAD</type>", "TR1ABCD") +
        wpt("<sym>Parking Area</sym><type>Waypoint|Final Location</type>", "PK1ABCD") +
        wpt("<sym>Pin, Blue</sym>", "RF1ABCD") + "</gpx>";
    FakeStore store;
    importText(store, gpx);
    std::vector<int> types;
    for (const CWaypoint& w : store.waypoints)
        types.push_back(w.type);
    EXPECT_EQ(types, (std::vector<int>{WaypointType::Stage, WaypointType::Reference, WaypointType::Question,
                                       WaypointType::Trailhead, WaypointType::Parking, WaypointType::Reference}));
}

// Every waypoint, cache and log type of the real files, counted by number.
struct TypeCounts {
    std::map<int, int> waypoints, caches, logs;
};

TypeCounts typesIn(const std::filesystem::path& file)
{
    FakeStore store;
    CGpxImporter importer(store, "");
    CUtf8FileSource source(file);
    EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete) << file;
    TypeCounts counts;
    for (const CWaypoint& w : store.waypoints)
        // The mobile client's own caches ("CW0001") are no waypoints.
        if (!w.code.starts_with("CW"))
            ++counts.waypoints[w.type];
    for (const CGeocache& c : store.caches)
        ++counts.caches[c.type];
    for (const int type : store.logTypes)
        ++counts.logs[type];
    return counts;
}

TEST(GpxImport, TypesOfRealFiles)
{
    TW_REQUIRE_CORPUS();
    const auto gpx = test::corpusDir() / "gpx";
    using M = std::map<int, int>;
    namespace W = WaypointType;
    namespace L = LogType;

    // A mobile client's export with its own names of caches and logs.
    const TypeCounts acb = typesIn(gpx / "acb_export.gpx");
    EXPECT_EQ(acb.waypoints, (M{{W::Final, 51}, {W::Parking, 109}, {W::Question, 166}, {W::Reference, 54},
                                {W::Stage, 29}, {W::Trailhead, 25}}));
    EXPECT_EQ(acb.caches.at(CacheType::Letterbox), 6);
    EXPECT_EQ(acb.caches.at(CacheType::Virtual), 1);
    EXPECT_FALSE(acb.caches.contains(CacheType::Other));
    EXPECT_EQ(acb.logs.at(L::WriteNote), 43); // its "note", nothing else
    EXPECT_EQ(acb.logs.at(L::Enable), 10);
    EXPECT_EQ(acb.logs.at(L::NeedsMaintenance), 12);
    EXPECT_EQ(acb.logs.at(L::OwnerMaintenance), 16);
    EXPECT_EQ(acb.logs.at(L::Publish), 1);
    EXPECT_EQ(acb.logs.at(L::ReviewerNote), 4);
    EXPECT_EQ(acb.logs.at(L::TemporarilyDisable), 6);

    // Today's names of the stages, and the cache's coordinates before the
    // user corrected them.
    EXPECT_EQ(typesIn(gpx / "TestCache3_WP_Parents_1_1.gpx").waypoints.at(W::Stage), 1);
    EXPECT_EQ(typesIn(gpx / "TestCache3_WP_Parents_1_0.gpx").waypoints.at(W::Stage), 1);
    EXPECT_EQ(typesIn(gpx / "gc31j2h_wpts_original.gpx").waypoints, (M{{W::Reference, 1}}));
    EXPECT_EQ(typesIn(gpx / "GC7FA4.gpx").caches, (M{{CacheType::Virtual, 1}}));
    EXPECT_EQ(typesIn(gpx / "GCGCA8.gpx").logs,
              (M{{L::FoundIt, 13}, {L::DidntFindIt, 3}, {L::WriteNote, 6}, {L::TemporarilyDisable, 1},
                 {L::Archive, 1}, {L::OwnerMaintenance, 1}}));
}

TEST(GpxImport, RealWaypointsWithoutAPosition)
{
    TW_REQUIRE_CORPUS();
    const auto gpx = test::corpusDir() / "gpx";
    FakeStore store;
    CGpxImporter importer(store, "");
    for (const char* name : {"gc31j2h_wpts_empty_coord.gpx", "ocddd2_empty_coord.gpx"}) {
        CUtf8FileSource source(gpx / name);
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete) << name;
    }
    std::vector<std::string> unplaced;
    for (const CWaypoint& w : store.waypoints)
        if (!hasPosition(w))
            unplaced.push_back(w.prefix.empty() ? w.code : w.prefix + " of " + w.code);
    // Station 1 at lat="0" lon="0"; the user's waypoints 02, 03 at 0.0 and 05 with empty attributes.
    EXPECT_EQ(unplaced, (std::vector<std::string>{"S231J2H", "02 of OCDDD2", "03 of OCDDD2", "05 of OCDDD2"}));
}

// Answers like a database that takes `good` entries and then fails each one;
// broken: the failures are of the kind every later entry would meet too.
class FailingStore final : public ImportStore {
public:
    FailingStore(int good, bool broken) : m_good(good), m_broken(broken) {}
    int StoreImportedCache(CGeocache&) override { return ++handed <= m_good ? 1 : 5; }
    int StoreImportedWaypoint(CWaypoint&) override { return 2; }
    bool broken() const override { return m_broken; }
    std::string errorText() const override { return "database or disk is full"; }
    int handed = 0;

private:
    int m_good;
    bool m_broken;
};

TEST(GpxImport, AFailingStoreIsAnErrorAndABrokenOneEndsTheImport)
{
    std::string gpx = "<gpx>";
    for (int i = 0; i < 100; ++i)
        gpx += bareCache("GC" + std::to_string(100 + i));
    gpx += "</gpx>";
    for (const bool pipelined : {false, true}) {
        SCOPED_TRACE(pipelined ? "pipelined" : "one thread");
        FailingStore full(10, true);
        CGpxImporter importer(full, "");
        importer.setPipelined(pipelined);
        CUtf8MemorySource source(gpx);
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Failed);
        EXPECT_EQ(importer.newCaches(), 10);
        EXPECT_EQ(importer.failed(), 1);
        EXPECT_EQ(importer.skipped(), 0);
        EXPECT_EQ(full.handed, 11); // nothing after the first failure
        EXPECT_EQ(importer.storeError(), "database or disk is full");

        FailingStore refusing(10, false);
        CGpxImporter goesOn(refusing, "");
        goesOn.setPipelined(pipelined);
        CUtf8MemorySource again(gpx);
        EXPECT_EQ(goesOn.parse(again, nullptr), CGpxImporter::Outcome::Complete);
        EXPECT_EQ(goesOn.failed(), 90);
        EXPECT_EQ(goesOn.skipped(), 0);
    }
}

// Files made to cost the square of their size where text is handled again
// at every end tag. The check is the work done, not the clock; the time
// bound only stops a run that would otherwise take minutes.
TEST(GpxImport, CraftedFilesCostLinearWork)
{
    constexpr std::size_t kSize = 1u << 20;
    const auto repeat = [&](const std::string& unit) {
        std::string out;
        while (out.size() < kSize)
            out += unit;
        return out;
    };
    const std::string open = "<gpx><wpt lat=\"1\" lon=\"2\"><name>GC1</name><groundspeak:cache/>";
    const std::string close = "</wpt></gpx>";
    const std::string longText(200, 'x');
    const std::vector<std::pair<const char*, std::string>> shapes{
        {"text before stray end tags", open + repeat("0123456789</x>") + close},
        {"text in containers", open + "<groundspeak:logs>" + repeat("abc</groundspeak:logs>") + close},
        {"used texts", open + repeat("0123456789</desc>") + close},
        {"tiny elements after long text", open + repeat(longText + "<x/>") + close},
        {"deep nesting", open + repeat("<a>") + repeat("</a>") + close},
        {"one huge text", open + "<groundspeak:long_description>" + repeat("abcdefgh ") +
                              "</groundspeak:long_description>" + close},
        {"many attributes", open + "<groundspeak:attributes><groundspeak:attribute " +
                                repeat("id=\"1\" inc=\"1\" id=\"2\" inc=\"0\" ") + "/>" + close},
    };
    for (const auto& [name, gpx] : shapes) {
        SCOPED_TRACE(name);
        FakeStore store;
        CGpxImporter importer(store, "");
        CUtf8MemorySource source(gpx);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_LE(importer.textBytesRead(), gpx.size());
        ASSERT_EQ(store.caches.size(), 1u);
        EXPECT_LE(store.caches[0].attributes.size(), 256u);
    }
}

TEST(GpxImport, RealPocketQueries)
{
    TW_REQUIRE_CORPUS();
    const auto corpus = test::corpusDir();

    FakeStore store;
    {
        CGpxImporter importer(store, "");
        CUtf8FileSource source(corpus / "gpx" / "gc31j2h.gpx");
        EXPECT_EQ(importer.parse(source, nullptr), CGpxImporter::Outcome::Complete);
    }
    ASSERT_EQ(store.caches.size(), 1u);
    const CGeocache& c = store.caches[0];
    EXPECT_EQ(c.code, "GC31J2H");
    EXPECT_EQ(c.name, "Hockenheimer City-Brunnen");
    EXPECT_EQ(c.type, CacheType::Multi);
    EXPECT_EQ(c.size, CacheSize::Small);
    EXPECT_EQ(c.difficulty, 20);
    EXPECT_EQ(c.terrain, 10);
    EXPECT_EQ(c.author, "vptsz");
    EXPECT_DOUBLE_EQ(c.lat, 49.3187);
    EXPECT_DOUBLE_EQ(c.lon, 8.54565);
    EXPECT_EQ(store.logs[0], 6u);

    FakeStore cut;
    CGpxImporter importer(cut, "");
    CUtf8FileSource truncated(corpus / "gpx" / "gc31j2h_err.gpx");
    EXPECT_EQ(importer.parse(truncated, nullptr), CGpxImporter::Outcome::Truncated);

    FakeStore umlauts;
    CGpxImporter geo(umlauts, "");
    CUtf8FileSource refs(corpus / "gpx" / "geotoad.gpx");
    geo.parse(refs, nullptr);
    bool anyReference = false;
    for (const auto& cache : umlauts.caches)
        anyReference |= cache.name.find("&;") != std::string::npos;
    EXPECT_FALSE(anyReference);
}

} // namespace
} // namespace tw

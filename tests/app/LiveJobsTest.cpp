// SPDX-License-Identifier: GPL-3.0-or-later
// The Live API jobs end to end against tarnwick-sim on loopback.
#include "app/BatchMode.h"
#include "app/CTarnwickApp.h"
#include "app/ListingPages.h"
#include "app/LiveJobs.h"
#include "db/CacheReader.h"
#include "db/CacheStore.h"
#include "platform/IniFile.h"
#include "platform/Numbers.h"
#include "platform/RecordingJobProgress.h"
#include "platform/Text.h"
#include "tests/app/AppFixture.h"
#include "tests/online/ScriptedServer.h"
#include "tests/online/SimProcess.h"

#include <gmock/gmock.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <sqlite3.h>

namespace tw {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kToken = "premium+token/1=";
constexpr const char* kBasicToken = "basic-token";

std::string code(int i)
{
    return "GCL" + std::to_string(1000 + i);
}

// Positions with more digits than six significant ones: a server or client
// that rounds them is off by metres.
// Written as a file of any locale writes them.
std::string latText(int i)
{
    return num::formatFixed(50.0 + 0.001 * i + 0.0000123, 7);
}

std::string lonText(int i)
{
    return num::formatFixed(14.0000456 + 0.0000001 * i, 7);
}

std::string logText(int i, int n)
{
    return "Log " + std::to_string(n) + " of " + code(i) + "\nsecond line & more";
}

// A pocket query of n caches around 50 N 14 E, cache i a little further
// out than cache i-1; cache i has 1 + i % 3 logs, a parking waypoint and
// two attributes, and every fourth a travel bug. Every third cache is a
// multi-cache; the last is archived.
std::string pocketQuery(int n)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<gpx version=\"1.0\" "
                    "xmlns:groundspeak=\"http://www.groundspeak.com/cache/1/0\">\n";
    for (int i = 0; i < n; ++i) {
        const std::string lat = latText(i);
        x += "<wpt lat=\"" + lat + "\" lon=\"" + lonText(i) + "\"><time>2011-11-24T00:00:00</time><name>" + code(i) +
             "</name><sym>Geocache</sym><groundspeak:cache available=\"True\" archived=\"" +
             (i == n - 1 ? "True" : "False") + "\"><groundspeak:name>Cache " + std::to_string(i) +
             " &amp; co</groundspeak:name><groundspeak:owner>owner" + std::to_string(i % 4) +
             "</groundspeak:owner><groundspeak:type>" + (i % 3 == 2 ? "Multi-cache" : "Traditional Cache") +
             "</groundspeak:type><groundspeak:container>Small</groundspeak:container>"
             "<groundspeak:attributes><groundspeak:attribute id=\"1\" inc=\"1\">Dogs</groundspeak:attribute>"
             "<groundspeak:attribute id=\"" +
             std::to_string(2 + i % 10) +
             "\" inc=\"0\">x</groundspeak:attribute></groundspeak:attributes>"
             "<groundspeak:difficulty>1.5</groundspeak:difficulty><groundspeak:terrain>2</groundspeak:terrain>"
             "<groundspeak:long_description html=\"True\">Line one\nLine two</groundspeak:long_description>"
             "<groundspeak:encoded_hints>under the stone</groundspeak:encoded_hints><groundspeak:logs>";
        for (int l = 0; l <= i % 3; ++l)
            x += "<groundspeak:log id=\"" + std::to_string(i * 10 + l) +
                 "\"><groundspeak:date>2012-0" + std::to_string(l + 1) +
                 "-15T00:00:00Z</groundspeak:date><groundspeak:type>Found it</groundspeak:type>"
                 "<groundspeak:finder>finder" +
                 std::to_string(l) + "</groundspeak:finder><groundspeak:text>" + logText(i, l) + "</groundspeak:text>"
                 "</groundspeak:log>";
        x += "</groundspeak:logs>";
        if (i % 4 == 0)
            x += "<groundspeak:travelbugs><groundspeak:travelbug id=\"" + std::to_string(500 + i) + "\" ref=\"TB" +
                 std::to_string(i) + "\"><groundspeak:name>Bug of " + code(i) +
                 "</groundspeak:name></groundspeak:travelbug></groundspeak:travelbugs>";
        x += "</groundspeak:cache></wpt>\n";
        x += "<wpt lat=\"" + lat + "\" lon=\"14.001\"><name>PK" + code(i).substr(2) +
             "</name><cmt>Park here</cmt><desc>Parking of " + code(i) + "</desc><sym>Parking Area</sym></wpt>\n";
    }
    return (x + "</gpx>\n");
}

class LiveJobsTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        global->LoadSettings(SettingsGroup::All);
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
        test::writeFile(dir / "pq.gpx", pocketQuery(40));
    }

    void TearDown() override
    {
        unsetenv("TARNWICK_LIVE_URL");
        AppFixture::TearDown();
    }

    // The simulator with the pocket query and two users, plus extra options.
    void startSim(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"--live", (dir / "pq.gpx").string(), "--user",
                                         std::string("jana:") + kToken + ":premium", "--user",
                                         std::string("petr:") + kBasicToken + ":basic"};
        args.insert(args.end(), extra.begin(), extra.end());
        if (!sim.start(args))
            GTEST_SKIP() << sim.error();
        global->settings.liveUrl = sim.baseUrl() + "/LiveV5/Geocaching.svc/";
        global->settings.accessToken = kToken;
    }

    int count(const std::string& sql)
    {
        SQLite::Statement q(global->db.cacheDb, sql);
        EXPECT_EQ(q.Step(), SQLITE_ROW);
        return q.ColumnInt(0);
    }

    // A hostile Live API: limits and profile as a premium member's, every
    // other method answered by the script (the method name, the request).
    using Script = std::function<test::ScriptedServer::Reply(const std::string&, const std::string&)>;
    void startHostile(Script script)
    {
        hostile = std::make_unique<test::ScriptedServer>([script](const test::ScriptedServer::Request& r) {
            const std::size_t at = r.target.find("Geocaching.svc/");
            const std::string method =
                at == std::string::npos ? r.target : r.target.substr(at + 15, r.target.find('?') - at - 15);
            if (method == "GetAPILimits")
                return test::ScriptedServer::reply(limitsAnswer());
            if (method == "GetYourUserProfile")
                return test::ScriptedServer::reply(profileAnswer());
            return script(method, r.body);
        });
        ASSERT_TRUE(hostile->start());
        global->settings.liveUrl = hostile->baseUrl() + "/LiveV5/Geocaching.svc/";
        global->settings.accessToken = kToken;
    }

    static std::string limitsAnswer()
    {
        return std::string("<GetAPILimitsResponse xmlns=\"") + net::LiveNs::Data + "\">" + statusXml(0, "OK") +
               "<Limits xmlns:a=\"" + net::LiveNs::Limits + "\"><a:CacheLimits><a:CacheLimitPerMinute>"
               "<a:CacheLimit>6000</a:CacheLimit><a:InMinutes>1440</a:InMinutes></a:CacheLimitPerMinute>"
               "</a:CacheLimits><a:ForMembershipType>Premium</a:ForMembershipType></Limits></GetAPILimitsResponse>";
    }
    static std::string profileAnswer()
    {
        return std::string("<GetYourUserProfileResponse xmlns=\"") + net::LiveNs::Data + "\">" + statusXml(0, "OK") +
               "<Profile xmlns:a=\"" + net::LiveNs::Types + "\"><a:User><a:MemberType><a:MemberTypeName>Premium"
               "</a:MemberTypeName></a:MemberType><a:UserName>jana</a:UserName></a:User></Profile>"
               "</GetYourUserProfileResponse>";
    }
    static std::string statusXml(int code, const std::string& message)
    {
        return "<Status><StatusCode>" + std::to_string(code) + "</StatusCode><StatusMessage>" + message +
               "</StatusMessage></Status>";
    }
    static std::string cacheXml(const std::string& code, const std::string& lat = "50.0001",
                                const std::string& images = "")
    {
        return "<a:Geocache><a:Available>true</a:Available><a:CacheType><a:GeocacheTypeId>2</a:GeocacheTypeId>"
               "</a:CacheType><a:Code>" + code + "</a:Code><a:Images>" + images + "</a:Images><a:Latitude>" + lat +
               "</a:Latitude><a:Longitude>14.0001</a:Longitude><a:Name>Cache " + code + "</a:Name></a:Geocache>";
    }
    static std::string searchAnswer(const std::string& caches, int code = 0, const std::string& message = "OK")
    {
        return std::string("<GetGeocacheDataResponse xmlns=\"") + net::LiveNs::Data + "\">" +
               statusXml(code, message) + "<Geocaches xmlns:a=\"" + net::LiveNs::Types + "\">" + caches +
               "</Geocaches></GetGeocacheDataResponse>";
    }
    static std::string manyCaches(const std::string& prefix, int n)
    {
        std::string caches;
        for (int i = 0; i < n; ++i)
            caches += cacheXml(prefix + std::to_string(i));
        return caches;
    }

    int requests(const std::string& method)
    {
        int n = 0;
        for (const std::string& r : sim.requests())
            n += r.find("/Geocaching.svc/" + method) != std::string::npos;
        return n;
    }

    test::SimProcess sim;
    std::unique_ptr<test::ScriptedServer> hostile;
};

TEST_F(LiveJobsTest, NearestThirtyCachesArriveInSixPagesWithTheirDetails)
{
    startSim();
    global->settings.maxImpCaches = 30;
    RecordingJobProgress progress;
    const net::LiveJobResult r = liveNearest(*global, 50.0, 14.0, &progress, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.newCaches, 30);
    EXPECT_EQ(r.waypoints, 30);
    EXPECT_EQ(progress.counter(1), 30);
    EXPECT_EQ(requests("SearchForGeocaches"), 1);
    EXPECT_EQ(requests("GetMoreGeocaches"), 5);

    // The 30 nearest, each as the simulator served it from the pocket query.
    for (int i = 0; i < 30; ++i) {
        auto cache = LoadCacheByCode(global->db.cacheDb, code(i));
        ASSERT_TRUE(cache && cache->code == code(i)) << code(i);
        EXPECT_EQ(cache->name, "Cache " + std::to_string(i) + " & co");
        EXPECT_EQ(cache->type, i % 3 == 2 ? CacheType::Multi : CacheType::Traditional);
        EXPECT_EQ(cache->difficulty, 15);
        EXPECT_EQ(cache->hidden, 20111124);
        EXPECT_NEAR(cache->lat, num::parseDouble(latText(i)).value_or(0), 1e-6) << code(i);
        EXPECT_NEAR(cache->lon, num::parseDouble(lonText(i)).value_or(0), 1e-6) << code(i);
        loadDetails(global->db.cacheDb, *cache, global->db.tagCategories);
        EXPECT_EQ(cache->longDesc, "Line one\nLine two");
        EXPECT_EQ(std::set<std::string>(cache->attributes.begin(), cache->attributes.end()),
                  (std::set<std::string>{attributeName(1) + "-yes", attributeName(2 + i % 10) + "-no"}));
        loadLogs(global->db.cacheDb, *cache);
        ASSERT_EQ(cache->logs.size(), static_cast<std::size_t>(1 + i % 3));
        std::set<std::string> texts;
        for (const auto& log : cache->logs)
            texts.insert(log->text);
        for (int l = 0; l <= i % 3; ++l)
            EXPECT_TRUE(texts.count(logText(i, l))) << code(i) << " log " << l;
        EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE id = '" + code(i) +
                        "' AND prefixid = 'PK' AND flag = 1 AND name = 'Parking of " + code(i) + "'"),
                  1);
        if (i % 4 == 0)
            EXPECT_EQ(cache->travelBugs, (std::vector<CTravelBug>{{500 + i, "TB" + std::to_string(i),
                                                                    "Bug of " + code(i)}}));
        else
            EXPECT_TRUE(cache->travelBugs.empty()) << code(i);
        // The simulator gives as many points as the cache has logs.
        EXPECT_EQ(cache->favorites, std::to_string(1 + i % 3)) << code(i);
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GCL%'"), 30);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE ptrkat = " + std::to_string(global->db.tagCategories.lastImport)),
              30);
    // Counted down by the service, kept in the State values.
    EXPECT_EQ(global->settings.dnlFull, 6000 - 30);
    restart().LoadSettings(SettingsGroup::All);
    EXPECT_EQ(global->settings.dnlFull, 6000 - 30);
    EXPECT_NE(global->settings.limitTimestamp, 0);
}

TEST_F(LiveJobsTest, DownloadByCodeUpdatesWithOnlyNewOnAndRefreshesTheList)
{
    startSim();
    global->settings.impOnlyNew = 1;
    ASSERT_TRUE(liveDownloadCodes(*global, {code(3)}, nullptr, nullptr).ok);
    const net::LiveJobResult again = liveDownloadCodes(*global, {code(3)}, nullptr, nullptr);
    ASSERT_TRUE(again.ok) << again.message;
    EXPECT_EQ(again.updated, 1);
    EXPECT_EQ(global->settings.impOnlyNew, 1);
    EXPECT_EQ(liveClient(*global).settings().impOnlyNew, 1);

    // A cache the service has archived (the last one) is marked by the
    // status refresh; 25 codes go out in three requests.
    CacheStore store(global->db.cacheDb, global->db.tagCategories, 0);
    CGeocache archived;
    archived.code = code(39);
    archived.name = "old name";
    archived.lat = 50.039;
    archived.lon = 14.0;
    ASSERT_TRUE(store.InsertCache(archived));
    std::vector<std::string> codes = {code(39)};
    for (int i = 0; i < 24; ++i)
        codes.push_back(code(i));
    global->settings.impOnlyNew = 0;
    ASSERT_TRUE(liveRefresh(*global, codes, true, nullptr, nullptr).ok);
    EXPECT_EQ(requests("GetGeocacheStatus"), 3);
    const auto stored = LoadCacheByCode(global->db.cacheDb, code(39));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->status, 2);
    EXPECT_EQ(stored->name, "Cache 39 & co");
    EXPECT_DOUBLE_EQ(stored->lat, 50.039);
}

TEST_F(LiveJobsTest, BasicMemberGetsLiteTraditionalsAndTheWarning)
{
    startSim();
    global->settings.accessToken = kBasicToken;
    global->settings.maxImpCaches = 10;
    global->settings.isLite = 1;
    net::CGcLiveClient& client = liveClient(*global);
    std::string warning;
    client.confirmLimits = [&](const std::string& text, bool) {
        warning = text;
        return true;
    };
    EXPECT_TRUE(client.CheckLiveAccess());
    ASSERT_FALSE(global->text(378).empty());
    EXPECT_THAT(warning, HasSubstr(global->text(378)));
    // When the window ends, as the language writes a date (Czech here).
    EXPECT_THAT(warning, testing::ContainsRegex("[0-9]{2}\\.[0-9]{2}\\.[0-9]{4} [0-9]{2}:[0-9]{2}")) << warning;
    EXPECT_EQ(global->settings.isBasic, 1);
    EXPECT_EQ(global->settings.dnlFull, 3);

    const net::LiveJobResult r = liveNearest(*global, 50.0, 14.0, nullptr, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.newCaches, 10);
    // Traditional caches only, without logs, descriptions or waypoints.
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GCL%' AND cachetype <> 'Traditional Cache'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geolog WHERE id LIKE 'GCL%'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE id LIKE 'GCL%'"), 0);
    EXPECT_EQ(global->settings.dnlLite, 10000 - 10);
}

TEST_F(LiveJobsTest, RefusedTokenStartsExactlyOneLoginAndTheRequestIsSentAgain)
{
    startSim();
    global->settings.accessToken = "revoked";
    int logins = 0;
    setLiveLogin(*global, [&] {
        ++logins;
        global->settings.accessToken = kToken;
        return true;
    });
    const net::LiveJobResult r = liveDownloadCodes(*global, {code(1)}, nullptr, nullptr);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(logins, 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id = '" + code(1) + "'"), 1);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(LiveJobsTest, UsedUpLimitStopsTheJobWithTheServicesMessage)
{
    startSim({"--limit-full", "12"});
    const net::LiveJobResult r = liveNearest(*global, 50.0, 14.0, nullptr, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.newCaches, 12);
    EXPECT_THAT(r.message, HasSubstr("limit has been exceeded"));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_THAT(prompter.messages()[0].text, HasSubstr("limit has been exceeded"));
    EXPECT_EQ(global->settings.dnlFull, 0);
}

TEST_F(LiveJobsTest, TruncatedOrForeignAnswersChangeNothing)
{
    for (const char* fault : {"truncated", "wrongtype", "500"}) {
        test::SimProcess faulty;
        if (!faulty.start({"--live", (dir / "pq.gpx").string(), "--user", std::string("jana:") + kToken + ":premium",
                           "--fault", fault}))
            GTEST_SKIP() << faulty.error();
        global->settings.liveUrl = faulty.baseUrl() + "/LiveV5/Geocaching.svc";
        global->settings.accessToken = kToken;
        const net::LiveJobResult r = liveNearest(*global, 50.0, 14.0, nullptr, nullptr);
        EXPECT_FALSE(r.ok) << fault;
        EXPECT_EQ(r.newCaches, 0) << fault;
        EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GCL%'"), 0) << fault;
    }
}

TEST_F(LiveJobsTest, PublishedNoteIsStoredAsLogAndTaggedAsSent)
{
    startSim();
    global->settings.nickname = "jana";
    ASSERT_TRUE(liveDownloadCodes(*global, {code(0)}, nullptr, nullptr).ok);
    auto cache = LoadCacheByCode(global->db.cacheDb, code(0));
    ASSERT_TRUE(cache);
    ASSERT_TRUE(livePublishFieldNote(*global, *cache, LogType::FoundIt, 1322150000, "TFTC <3\nsecond line"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geolog WHERE id = '" + code(0) + "' AND finder = 'jana' AND "
                    "type = 'Found it' AND gs_logid > 900000"),
              1);
    loadLogs(global->db.cacheDb, *cache);
    bool found = false;
    for (const auto& log : cache->logs)
        found = found || log->text == "TFTC <3\nsecond line";
    EXPECT_TRUE(found);
    EXPECT_TRUE(HasTag(global->db.cacheDb, code(0), TagCategoryName::FieldNoteSent, "x"));
}

TEST_F(LiveJobsTest, BatchWordsNeverShowTheToken)
{
    const std::string sentinel = "SENTINEL-t0ken-7f3a";
    std::vector<std::string> extra = {"--user", "sam:" + sentinel + ":premium", "--limit-full", "3"};
    startSim(extra);
    setenv("TARNWICK_LIVE_URL", global->settings.liveUrl.c_str(), 1);
    test::writeFile(paths().documents / "Tarnwick.log", "");
    {
        IniFile handover(global->handoverPath(), 0600);
        handover.setString(kHandoverSection, "twtk", transformSecret(sentinel));
        ASSERT_TRUE(handover.save());
    }
    global->db.cacheDb.Close();

    CTarnwickApp app(*global);
    app.batch = defaultBatchActions();
    ConsoleStartupUi ui;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const bool started = app.InitInstance({"dl", "gcl1001", "near", "50", "14"}, ui);
    const int exitCode = app.ExitInstance();
    const std::string out = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    ASSERT_TRUE(started);
    // The download goes through; the search then meets the used-up limit.
    EXPECT_NE(exitCode, 0);
    EXPECT_THAT(out, HasSubstr("limit has been exceeded"));
    const std::string log = test::readFile(paths().documents / "Tarnwick.log");
    EXPECT_THAT(log, HasSubstr("GetAPILimits?AccessToken="));
    for (const std::string& text : {out, log, test::readFile(global->settingsPath())})
        EXPECT_THAT(text, Not(HasSubstr(sentinel)));
    ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id = 'GCL1001'"), 1);
}

TEST_F(LiveJobsTest, ARefreshUpdatesTheCachesItRefreshesWithOnlyNewOn)
{
    startSim();
    global->settings.impOnlyNew = 1;
    ASSERT_TRUE(liveDownloadCodes(*global, {code(3), code(4)}, nullptr, nullptr).ok);
    global->db.cacheDb.Exec("UPDATE geocache SET name = 'stale' WHERE id LIKE 'GCL%'");
    const net::LiveJobResult r = liveRefresh(*global, {code(3), code(4)}, false, nullptr, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.updated, 2);
    EXPECT_EQ(r.skipped, 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GCL%' AND name LIKE 'Cache %'"), 2);
    EXPECT_EQ(liveClient(*global).settings().impOnlyNew, 1);
}

TEST_F(LiveJobsTest, ADownloadByCodeKeepsOnlyTheCodeAskedForAndFailsWhenItIsMissing)
{
    std::mutex lock;
    std::string answer;
    startHostile([&](const std::string&, const std::string&) {
        std::lock_guard guard(lock);
        return test::ScriptedServer::reply(answer);
    });
    const auto serve = [&](const std::string& caches) {
        std::lock_guard guard(lock);
        answer = searchAnswer(caches);
    };

    for (const int text : {850, 851, 852, 853, 854})
        ASSERT_FALSE(global->text(text).empty()) << text;
    serve(cacheXml("GCOTHER"));
    net::LiveJobResult r = liveDownloadCodes(*global, {"GCWANT1"}, nullptr, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.nothingFound);
    EXPECT_EQ(r.message, text::fillIn(global->text(850), {"GCWANT1"}));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 0);

    // A thousand caches, the one asked for among them twice: that one only.
    serve(manyCaches("GCF", 500) + cacheXml("GCWANT1") + manyCaches("GCG", 500) + cacheXml("GCWANT1", "50.2"));
    r = liveDownloadCodes(*global, {"gcwant1"}, nullptr, nullptr);
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.newCaches, 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id = 'GCWANT1' AND y > 50.1"), 0);

    // Nothing, or only caches off the Earth: nothing found, said so.
    for (const std::string& caches : {std::string(), cacheXml("GCNOPE", "NaN") + cacheXml("GCNOPE", "95")}) {
        serve(caches);
        r = liveDownloadCodes(*global, {"GCNOPE"}, nullptr, nullptr);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.message, text::fillIn(global->text(850), {"GCNOPE"}));
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id = 'GCNOPE'"), 0);
}

TEST_F(LiveJobsTest, TheNearestSearchStopsAtTheCountAskedForWhateverThePagesHold)
{
    std::atomic<bool> flood{false};
    startHostile([&](const std::string&, const std::string&) {
        return test::ScriptedServer::reply(searchAnswer(flood ? manyCaches("GCN", 1000)
                                                              : manyCaches("GCK", 5)));
    });
    global->settings.maxImpCaches = 30;
    global->settings.impOnlyNew = 1;
    CacheStore store(global->db.cacheDb, global->db.tagCategories, 0);
    for (int i = 0; i < 5; ++i) {
        CGeocache known;
        known.code = "GCK" + std::to_string(i);
        known.lat = 50.0001;
        known.lon = 14.0001;
        ASSERT_TRUE(store.InsertCache(known));
    }
    // Every page holds the same five known caches: six pages at the most.
    net::LiveJobResult r = liveNearest(*global, 50.0, 14.0, nullptr, nullptr);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.newCaches, 0);
    EXPECT_LE(hostile->count("SearchForGeocaches") + hostile->count("GetMoreGeocaches"), 6);

    // A page of a thousand new caches: thirty stored, no further page.
    flood = true;
    const int before = hostile->count("GetMoreGeocaches");
    r = liveNearest(*global, 50.0, 14.0, nullptr, nullptr);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.newCaches, 30);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GCN%'"), 30);
    EXPECT_EQ(hostile->count("GetMoreGeocaches"), before);
}

TEST_F(LiveJobsTest, AnErrorStatusStoresNothingAndIsSaidAsSuch)
{
    std::atomic<int> status{500};
    startHostile([&](const std::string&, const std::string&) {
        return test::ScriptedServer::reply(searchAnswer(cacheXml("GCERR")), status);
    });
    for (const int s : {400, 401, 403, 404, 500}) {
        status = s;
        prompter.clear();
        const net::LiveJobResult r = liveDownloadCodes(*global, {"GCERR"}, nullptr, nullptr);
        EXPECT_FALSE(r.ok) << s;
        EXPECT_EQ(r.newCaches, 0) << s;
        ASSERT_EQ(prompter.messages().size(), 1u) << s;
        EXPECT_EQ(prompter.messages()[0].text, text::fillIn(global->text(854), {std::to_string(s)}));
    }
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 0);
}

TEST_F(LiveJobsTest, ABrokenSecondPageReportsWhatTheFirstStored)
{
    startHostile([&](const std::string& method, const std::string&) {
        const std::string page = searchAnswer(manyCaches("GCP", 5));
        return test::ScriptedServer::reply(method == "GetMoreGeocaches" ? page.substr(0, page.size() / 2) : page);
    });
    global->settings.maxImpCaches = 30;
    const net::LiveJobResult r = liveNearest(*global, 50.0, 14.0, nullptr, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.newCaches, 5);
    EXPECT_EQ(r.message, text::fillIn(global->text(822), {global->text(851)}) + " " +
                             text::fillIn(global->text(852), {"5", "0"}));
    EXPECT_THAT(r.message, Not(HasSubstr(global->text(821))));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id LIKE 'GCP%'"), 5);
}

TEST_F(LiveJobsTest, ImageLinksFromTheServiceCannotAddMarkupToTheImagesPage)
{
    const std::string images =
        "<a:ImageData><a:Name>Spoiler</a:Name><a:Url>http://x/a.png\"&gt;&lt;h1&gt;INJECTED&lt;/h1&gt;</a:Url>"
        "</a:ImageData><a:ImageData><a:Name>&lt;b&gt;Gate&lt;/b&gt;</a:Name><a:Url>http://x/b.png</a:Url></a:ImageData>";
    startHostile([&](const std::string&, const std::string&) {
        return test::ScriptedServer::reply(searchAnswer(cacheXml("GCIMG", "50.0001", images)));
    });
    ASSERT_TRUE(liveDownloadCodes(*global, {"GCIMG"}, nullptr, nullptr).ok);
    const auto links = listing::imageLinksOf(tagsOfCache(global->db.cacheDb, "GCIMG"));
    EXPECT_EQ(links, std::vector<std::string>{"<a href=\"http://x/b.png\">&lt;b&gt;Gate&lt;/b&gt;</a>"});
    const std::string page = listing::imagesPage("GCIMG", links);
    EXPECT_THAT(page, Not(HasSubstr("<h1>")));
    EXPECT_THAT(page, Not(HasSubstr("<b>")));
}

TEST_F(LiveJobsTest, BatchWordsPrintNoEscapesRefuseNanAndFailWhenNothingIsFound)
{
    startHostile([&](const std::string&, const std::string& body) {
        if (body.find("GCESC") != std::string::npos)
            return test::ScriptedServer::reply(searchAnswer("", 1, "\x1b]0;owned\x07\x1b[2JThe search failed."));
        return test::ScriptedServer::reply(searchAnswer(""));
    });
    setenv("TARNWICK_LIVE_URL", global->settings.liveUrl.c_str(), 1);
    {
        IniFile handover(global->handoverPath(), 0600);
        handover.setString(kHandoverSection, "twtk", transformSecret(kToken));
        ASSERT_TRUE(handover.save());
    }
    global->db.cacheDb.Close();
    CTarnwickApp app(*global);
    app.batch = defaultBatchActions();
    ConsoleStartupUi ui;
    testing::internal::CaptureStderr();
    const bool started = app.InitInstance({"dl", "GCNOPE", "GCESC", "near", "NaN", "NaN"}, ui);
    const int exitCode = app.ExitInstance();
    std::string out = testing::internal::GetCapturedStderr();
    // What the batch run's prompter would print.
    for (const auto& message : prompter.messages())
        out += message.text + "\n";
    ASSERT_TRUE(started);
    EXPECT_NE(exitCode, 0);
    EXPECT_THAT(out, HasSubstr(text::fillIn(global->text(850), {"GCNOPE"})));
    EXPECT_THAT(out, HasSubstr("]0;owned[2JThe search failed."));
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(out.find('\x07'), std::string::npos);
    EXPECT_THAT(out, HasSubstr(text::fillIn(global->text(853), {"nan", "nan"})));
    for (const auto& request : hostile->requests())
        EXPECT_THAT(request.body, Not(HasSubstr("nan")));
    EXPECT_EQ(hostile->count("SearchForGeocaches"), 2);
}

} // namespace
} // namespace tw

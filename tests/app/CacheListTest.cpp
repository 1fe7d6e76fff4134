// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CacheList.h"
#include "app/MapAreaCaches.h"
#include "db/CacheStore.h"
#include "geo/GeoMath.h"
#include "tests/app/AppFixture.h"
#include "tests/geo/RowName.h"

#include <sqlite3.h>

#include <algorithm>

namespace tw {
namespace {

constexpr geo::LatLon kHome{50.08, 14.42};

class CacheListTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        std::filesystem::create_directories(dir / "data");
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
        global->settings.homeLat = kHome.lat;
        global->settings.homeLon = kHome.lon;
        global->list.filter.refPoint = 3; // home
        global->list.filter.owned = 2;
        global->list.filter.found = 2;
    }

    CGeocache& add(const std::string& code, double northKm, int type = CacheType::Traditional)
    {
        auto c = std::make_unique<CGeocache>();
        c->code = code;
        c->name = "Cache " + code;
        const geo::LatLon p = geo::projectPoint(kHome, northKm, 0.0);
        c->lat = p.lat;
        c->lon = p.lon;
        c->type = type;
        EXPECT_TRUE(store().InsertCache(*c));
        stored.push_back(std::move(c));
        return *stored.back();
    }

    CacheStore store() { return CacheStore(global->db.cacheDb, global->db.tagCategories); }

    std::vector<std::string> listed() const
    {
        std::vector<std::string> codes;
        for (const auto& c : global->list.caches)
            codes.push_back(c->code);
        return codes;
    }

    std::vector<std::unique_ptr<CGeocache>> stored;
};

TEST_F(CacheListTest, DistanceLimitDropsFarRowsAndKeepsAtMostMaxRows)
{
    for (int i = 0; i < 120; ++i)
        add("GC" + std::to_string(1000 + i), i * 0.03); // 0 to 3.6 km north
    test::writeFile(global->logPath(), "");
    global->settings.maxRows = 50;
    global->list.filter.distanceKm = 2.0;
    global->list.readCaches();

    ASSERT_EQ(global->list.caches.size(), 50u);
    EXPECT_EQ(global->list.listedCount, 50);
    EXPECT_EQ(global->list.caches.front()->code, "GC1000");
    EXPECT_EQ(global->list.caches.back()->code, "GC1049"); // nearest first
    const std::string log = test::readFile(global->logPath());
    EXPECT_NE(log.find("BEGIN: CGlobalData::readCaches\r\n"), std::string::npos);
    EXPECT_NE(log.find("END: CGlobalData::readCaches\r\n"), std::string::npos);

    global->settings.maxRows = 999;
    global->list.readCaches();
    EXPECT_EQ(global->list.caches.size(), 67u); // 0 … 1.98 km
    for (const auto& c : global->list.caches)
        EXPECT_LE(geo::distanceKm(kHome, {c->lat, c->lon}), 2.0);
}

TEST_F(CacheListTest, CodePatternKeepsEveryMatchWhateverItsDistance)
{
    add("GC1A", 0.5);
    add("GC1B", 50.0);
    add("GC2A", 0.1);
    global->list.filter.distanceKm = 1.0;
    global->list.filter.code = "1*";
    global->list.filter.mustHaveFinal = 1;
    global->list.readCaches();
    EXPECT_EQ(listed(), (std::vector<std::string>{"GC1A", "GC1B"}));
}

TEST_F(CacheListTest, FinalAndTagConditionsAreCheckedPerRow)
{
    add("GCTRAD", 1.0);
    add("GCMULTI", 2.0, CacheType::Multi);
    CGeocache& solved = add("GCSOLVED", 3.0, CacheType::Unknown);
    CWaypoint final;
    final.code = solved.code;
    final.type = WaypointType::Final;
    final.lat = 50.2;
    final.lon = 14.5;
    ASSERT_TRUE(store().InsertWaypoint(final));

    global->list.filter.mustHaveFinal = 1;
    global->list.readCaches();
    EXPECT_EQ(listed(), (std::vector<std::string>{"GCTRAD", "GCSOLVED"}));

    // The final hidden by the waypoint types: the cache no longer counts as solved.
    global->list.filter.wptTypes[WaypointType::Final] = 0;
    global->list.readCaches();
    EXPECT_EQ(listed(), std::vector<std::string>{"GCTRAD"});

    global->list.filter = CacheFilter{};
    global->list.filter.refPoint = 3;
    global->list.filter.owned = global->list.filter.found = 2;
    ASSERT_TRUE(AddTag(global->db.cacheDb, "GCMULTI", "done", "yes"));
    global->list.filter.useTag = 2;
    global->list.filter.tagCategory = "done";
    global->list.readCaches();
    EXPECT_EQ(listed(), (std::vector<std::string>{"GCTRAD", "GCSOLVED"}));
    global->list.filter.useTag = 1;
    global->list.readCaches();
    EXPECT_EQ(listed(), std::vector<std::string>{"GCMULTI"});
    global->list.filter.useTag = 2;
    global->list.filter.tagValue = "not used anywhere";
    global->list.readCaches();
    EXPECT_EQ(listed().size(), 3u);
}

TEST_F(CacheListTest, WithoutDatabaseTheListStaysAsItWas)
{
    restart(); // a run that never opened a database
    global->list.caches.push_back(std::make_unique<CGeocache>());
    global->list.readCaches();
    global->list.readCaches();
    EXPECT_EQ(global->list.caches.size(), 1u);
    ASSERT_EQ(prompter.messages().size(), 1u);
    // No language was loaded: the built-in text.
    EXPECT_EQ(prompter.messages()[0].text, "No database available");
}

TEST_F(CacheListTest, FindNumbersCountEarlierFinds)
{
    CGeocache& a = add("GC1", 1.0);
    CGeocache& b = add("GC2", 2.0);
    add("GC3", 3.0);
    ASSERT_TRUE(store().SetFoundState(a, LogType::FoundIt, "", 1322127000));        // 24.11.2011
    ASSERT_TRUE(store().SetFoundState(b, LogType::FoundIt, "", 1322127000 + 3600)); // an hour later
    global->settings.findsCountExtra = 10;
    global->list.refreshFoundCount();
    EXPECT_EQ(global->settings.foundCount, 2);
    EXPECT_EQ(global->list.findNumber(a.found, a.foundTime), 11);
    EXPECT_EQ(global->list.findNumber(b.found, b.foundTime), 12);
    EXPECT_EQ(global->list.findNumber(20300101, 0), 13);
}

TEST_F(CacheListTest, FilterSurvivesARestart)
{
    global->list.filter.name = "O'Brien's";
    global->list.filter.distanceKm = 2.5;
    global->list.filter.manLat = -33.8675;
    global->list.saveFilter();
    restart().list.loadFilter();
    EXPECT_EQ(global->list.filter.name, "O'Brien's");
    EXPECT_DOUBLE_EQ(global->list.filter.distanceKm, 2.5);
    EXPECT_NEAR(global->list.filter.manLat, -33.8675, 1e-9);
    EXPECT_EQ(global->list.filterFolder(), dir / "data" / "filter");
}

struct SortCase {
    const char* name;
    int sortKey;
    bool ascending;
    std::vector<std::string> expected;
    friend void PrintTo(const SortCase& row, std::ostream* out) { *out << row.name; }
};

class SortTest : public ::testing::TestWithParam<SortCase> {};

// Four caches, each first under a different key; C and D tie on most keys.
TEST_P(SortTest, OrdersTheListByTheKey)
{
    auto make = [](const char* code, const char* name, const char* author, double northKm, int d, int t,
                   int hidden, int size, int found, int foundTime) {
        auto c = std::make_unique<CGeocache>();
        c->code = code;
        c->name = name;
        c->author = author;
        const geo::LatLon p = geo::projectPoint(kHome, northKm, 0.0);
        c->lat = p.lat;
        c->lon = p.lon;
        c->difficulty = d;
        c->terrain = t;
        c->hidden = hidden;
        c->size = size;
        c->found = found;
        c->foundTime = foundTime;
        return c;
    };
    std::vector<std::unique_ptr<CGeocache>> list;
    list.push_back(make("A", "žába", "bob", 4.0, 15, 40, 20050101, CacheSize::Large, 20111124, 1200));
    list.push_back(make("B", "Zebra", "Áda", 1.0, 50, 10, 20100101, CacheSize::Micro, 20111124, 930));
    list.push_back(make("C", "apple", "carl", 3.0, 20, 20, 20000101, CacheSize::Small, 0, 0));
    list.push_back(make("D", "Apple", "Carl", 2.0, 20, 20, 20000101, 42, 20100101, 0));
    sortCaches(list, {GetParam().sortKey, GetParam().ascending, kHome});
    std::vector<std::string> codes;
    for (const auto& c : list)
        codes.push_back(c->code);
    EXPECT_EQ(codes, GetParam().expected);
}

using V = std::vector<std::string>;
INSTANTIATE_TEST_SUITE_P(
    Keys, SortTest,
    ::testing::Values(SortCase{"NameIgnoresCase", SortKey::Name, true, V{"C", "D", "B", "A"}},
                      SortCase{"NameDescending", SortKey::Name, false, V{"A", "B", "C", "D"}},
                      SortCase{"Distance", SortKey::Distance, true, V{"B", "D", "C", "A"}},
                      SortCase{"DistanceDescending", SortKey::Distance, false, V{"A", "C", "D", "B"}},
                      SortCase{"AuthorByCodeUnit", SortKey::Author, true, V{"A", "C", "D", "B"}},
                      SortCase{"Difficulty", SortKey::Difficulty, true, V{"A", "C", "D", "B"}},
                      SortCase{"Terrain", SortKey::Terrain, true, V{"B", "C", "D", "A"}},
                      SortCase{"Hidden", SortKey::Hidden, true, V{"C", "D", "A", "B"}},
                      SortCase{"SizeByRank", SortKey::Size, true, V{"B", "C", "A", "D"}},
                      SortCase{"FoundThenTime", SortKey::Found, true, V{"C", "D", "B", "A"}},
                      SortCase{"FoundLatestFirst", SortKey::Found, false, V{"A", "B", "D", "C"}}),
    test::RowName{});

// The map's list follows its area between frames: never before the frame
// that says it is loading, once per change, and not at all while caches are
// hidden.
TEST_F(CacheListTest, MapAreaIsReadAgainOnlyAfterTheLoadingFrame)
{
    add("GCA", 1.0);
    ASSERT_TRUE(global->list.readCaches());
    MapAreaCaches area(global->list, notifier);
    EXPECT_FALSE(area.pending());
    add("GCB", 2.0);

    area.areaChanged();
    EXPECT_TRUE(area.pending());
    EXPECT_FALSE(area.reload(true)) << "read before a frame said so";
    EXPECT_EQ(listed(), (std::vector<std::string>{"GCA"}));
    EXPECT_TRUE(area.frameComposed());
    EXPECT_FALSE(area.frameComposed()) << "one reload per change";
    const auto before = notifier.topics().size();
    EXPECT_TRUE(area.reload(true));
    EXPECT_FALSE(area.pending());
    EXPECT_FALSE(area.reloading());
    EXPECT_EQ(listed(), (std::vector<std::string>{"GCA", "GCB"}));
    const auto topics = notifier.topics();
    EXPECT_GE(std::count(topics.begin() + static_cast<std::ptrdiff_t>(before), topics.end(), Topic::CacheList), 1);
    EXPECT_FALSE(area.reload(true)) << "nothing left to read";

    // The view moved again while the reload was on its way: a new frame first.
    add("GCC", 3.0);
    area.areaChanged();
    EXPECT_TRUE(area.frameComposed());
    area.areaChanged();
    EXPECT_FALSE(area.reload(true));
    EXPECT_TRUE(area.frameComposed());
    EXPECT_FALSE(area.reload(false)) << "caches hidden: nothing is read";
    EXPECT_FALSE(area.pending());
    EXPECT_EQ(listed(), (std::vector<std::string>{"GCA", "GCB"}));
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/FullText.h"
#include "db/LikeMatch.h"
#include "db/Statement.h"
#include "filter/CachePositions.h"
#include "filter/QueryBuilder.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/geo/RowName.h"

#include <sqlite3.h>

#include <functional>

namespace tw {
namespace {

// Caches north and east of a reference point in Prague, nearest first:
// GC1 0 km, GC2 1 km, GC5 3 km, GC3 5 km, GC6 7 km, GC7 14 km, GC4 20 km.
// The database orders by squared degrees, which puts GC4 before GC7.
class QueryFixture : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        test::copyTemplateDb(dir / "cachedb.db3");
        ASSERT_EQ(db.OpenFile((dir / "cachedb.db3").string()), SQLITE_OK);
        categories = resolveTagCategories(db);
        CacheStore store(db, categories);
        auto add = [&](const char* code, const std::string& name, const char* author, double lat, double lon,
                       int type, int status, int found) {
            CGeocache c;
            c.code = code;
            c.name = name;
            c.author = author;
            c.lat = lat;
            c.lon = lon;
            c.type = type;
            c.status = status;
            c.found = found;
            ASSERT_TRUE(store.InsertCache(c));
        };
        add("GC0", "Tarnwick", "Tarnwick", 0, 0, CacheType::Unknown, 0, 0);
        add("GC1", "Alpha", "Owner", 50.080, 14.42, CacheType::Traditional, 0, 0);
        add("GC2", "Beta's cache", "Me", 50.089, 14.42, CacheType::Multi, 0, 20111124);
        add("GC3", "50% done", "O'Brien", 50.125, 14.42, CacheType::Unknown, 1, 20120101);
        add("GC4", "under_score", "Owner", 50.260, 14.42, CacheType::Event, 2, 0);
        add("GC5", "Žluťoučký kůň", "Owner", 50.107, 14.42, CacheType::Earthcache, 0, 0);
        add("GC6", "'; DROP TABLE geocache;--", "Owner", 50.080, 14.52, CacheType::Traditional, 0, 0);
        add("GC7", "say \"hi\" -- now", "Owner", 50.080, 14.62, 9999, 0, 0);
        ASSERT_TRUE(AddTag(db, "GC5", "colour", "red"));
        ASSERT_TRUE(AddTag(db, "GC3", "colour", "blue"));
        inputs.refLat = 50.08;
        inputs.refLon = 14.42;
        inputs.nickname = "Me";
        inputs.tagCategoryKey = GetCategoryKey(db, "colour", false);
        inputs.tagValueKey = GetValueKey(db, "red");
    }

    std::vector<std::string> codes(const CacheFilter& filter)
    {
        const CacheQuery query = BuildCacheQuery(filter, inputs);
        EXPECT_EQ(query.sql.find(';'), std::string::npos) << "one statement only";
        const int changesBefore = sqlite3_total_changes(db.handle());
        SQLite::Statement statement(db, query.sql);
        query.bind(statement);
        std::vector<std::string> out;
        std::vector<std::int64_t> keys;
        while (statement.Next()) {
            out.push_back(statement.ColumnText(1));
            keys.push_back(statement.columnInt64(0));
        }
        // The list reads the nearest rows through their keys: the same rows
        // in the same order.
        if (!query.keySql.empty()) {
            EXPECT_EQ(nearestKeys(db, query), keys);
        }
        EXPECT_EQ(sqlite3_total_changes(db.handle()), changesBefore);
        return out;
    }

    // The nearest caches of any kind through kept positions, checked against
    // a fresh read.
    std::vector<std::string> keptCodes(CachePositions& positions);

    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    TagCategories categories;
    QueryInputs inputs;
};

// Either found state, either owner: only the condition under test counts.
CacheFilter anyCache()
{
    CacheFilter f;
    f.owned = 2;
    f.found = 2;
    return f;
}

std::vector<std::string> QueryFixture::keptCodes(CachePositions& positions)
{
    const CacheQuery query = BuildCacheQuery(anyCache(), inputs);
    const std::vector<std::int64_t> kept = nearestKeys(db, query, &positions);
    EXPECT_EQ(kept, nearestKeys(db, query)) << "kept positions and a fresh read disagree";
    std::vector<std::string> out;
    for (const std::int64_t key : kept) {
        SQLite::Statement row(db, "SELECT `id` FROM `geocache` WHERE `key` = ?");
        row.BindInt(1, key);
        out.push_back(row.Next() ? row.ColumnText(0) : "?");
    }
    return out;
}

struct QueryCase {
    const char* name;
    std::function<void(CacheFilter&)> change;
    std::vector<std::string> expected;
    friend void PrintTo(const QueryCase& row, std::ostream* out) { *out << row.name; }
};

class QueryRowsTest : public QueryFixture, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(QueryRowsTest, GivesTheseCachesInThisOrder)
{
    CacheFilter f = anyCache();
    GetParam().change(f);
    EXPECT_EQ(codes(f), GetParam().expected);
    EXPECT_TRUE(prompter.messages().empty());
}

using V = std::vector<std::string>;
const std::string kHugeText(100 * 1024, 'x');

INSTANTIATE_TEST_SUITE_P(
    Filters, QueryRowsTest,
    ::testing::Values(
        QueryCase{"Everything", [](CacheFilter&) {}, V{"GC1", "GC2", "GC5", "GC3", "GC6", "GC4", "GC7"}},
        QueryCase{"FreshFilterHidesFoundAndOwn", [](CacheFilter& f) { f = CacheFilter{}; },
                  V{"GC1", "GC5", "GC6", "GC4", "GC7"}},
        QueryCase{"OwnOnly", [](CacheFilter& f) { f.owned = 1; }, V{"GC2"}},
        QueryCase{"FoundNewestFirst", [](CacheFilter& f) { f.found = 1; }, V{"GC3", "GC2"}},
        QueryCase{"CodeWithStar", [](CacheFilter& f) { f.code = "*"; f.name = "nothing"; },
                  V{"GC1", "GC2", "GC5", "GC3", "GC6", "GC4", "GC7"}},
        QueryCase{"CodePattern", [](CacheFilter& f) { f.code = "3*"; }, V{"GC3"}},
        QueryCase{"NameWithQuote", [](CacheFilter& f) { f.name = "a's"; }, V{"GC2"}},
        QueryCase{"NamePercentIsNoWildcard", [](CacheFilter& f) { f.name = "%"; }, V{"GC3"}},
        QueryCase{"NameWithPercent", [](CacheFilter& f) { f.name = "50%"; }, V{"GC3"}},
        QueryCase{"NameUnderscoreIsNoWildcard", [](CacheFilter& f) { f.name = "r_s"; }, V{"GC4"}},
        QueryCase{"NameUnderscoreMatchesOnlyItself", [](CacheFilter& f) { f.name = "l_h"; }, V{}},
        QueryCase{"NameBackslash", [](CacheFilter& f) { f.name = "\\"; }, V{}},
        QueryCase{"NameHugePercent", [](CacheFilter& f) { f.name = std::string(kLongLikePattern, '%'); }, V{}},
        QueryCase{"CodeUnderscoreIsNoWildcard", [](CacheFilter& f) { f.code = "_"; }, V{}},
        QueryCase{"NameDoubleQuote", [](CacheFilter& f) { f.name = "\"hi\""; }, V{"GC7"}},
        QueryCase{"NameSemicolon", [](CacheFilter& f) { f.name = ";"; }, V{"GC6"}},
        QueryCase{"NameComment", [](CacheFilter& f) { f.name = "--"; }, V{"GC6", "GC7"}},
        QueryCase{"NameInjection", [](CacheFilter& f) { f.name = "'; DROP TABLE geocache;--"; }, V{"GC6"}},
        QueryCase{"CodeInjection", [](CacheFilter& f) { f.code = "1' OR '1'='1"; }, V{}},
        QueryCase{"NameNonAscii", [](CacheFilter& f) { f.name = "kůň"; }, V{"GC5"}},
        QueryCase{"NameHuge", [](CacheFilter& f) { f.name = kHugeText; }, V{}},
        QueryCase{"OwnerIgnoresAsciiCase", [](CacheFilter& f) { f.owner = "o'brien"; }, V{"GC3"}},
        QueryCase{"NicknameWithQuote", [](CacheFilter& f) { f.owned = 1; f.name = ""; }, V{"GC2"}},
        QueryCase{"OnlyEvents",
                  [](CacheFilter& f) { f.cacheTypes.fill(0); f.cacheTypes[CacheFilter::Event] = 1; }, V{"GC4"}},
        QueryCase{"OtherTypes",
                  [](CacheFilter& f) { f.cacheTypes.fill(0); f.cacheTypes[CacheFilter::AnyOther] = 1; },
                  V{"GC7"}},
        QueryCase{"NoTypeMeansAll", [](CacheFilter& f) { f.cacheTypes.fill(0); },
                  V{"GC1", "GC2", "GC5", "GC3", "GC6", "GC4", "GC7"}},
        QueryCase{"ActiveAndDisabled", [](CacheFilter& f) { f.active = 1; f.disabled = 1; },
                  V{"GC1", "GC2", "GC5", "GC3", "GC6", "GC7"}},
        QueryCase{"ArchivedOnly", [](CacheFilter& f) { f.archived = 1; }, V{"GC4"}},
        QueryCase{"WithinTheBox", [](CacheFilter& f) { f.distanceKm = 4.0; }, V{"GC1", "GC2", "GC5", "GC3"}},
        QueryCase{"WithTag", [](CacheFilter& f) { f.useTag = 1; f.tagCategory = "colour"; }, V{"GC5", "GC3"}},
        QueryCase{"WithTagValue",
                  [](CacheFilter& f) { f.useTag = 1; f.tagCategory = "colour"; f.tagValue = "red"; }, V{"GC5"}},
        QueryCase{"WithTagInTheBox",
                  [](CacheFilter& f) { f.useTag = 1; f.tagCategory = "colour"; f.distanceKm = 3.0; },
                  V{"GC5"}},
        // The text query goes through the full-text index: diacritics and
        // letter case do not count, operators typed are words.
        QueryCase{"TextWithoutDiacritics", [](CacheFilter& f) { f.textQuery = "zlutoucky KUN"; }, V{"GC5"}},
        QueryCase{"TextPrefixNearestFirst", [](CacheFilter& f) { f.textQuery = "own*"; },
                  V{"GC1", "GC5", "GC6", "GC4", "GC7"}},
        QueryCase{"TextInOneField", [](CacheFilter& f) { f.textQuery = "owner"; f.textFields = TextField::Name; },
                  V{}},
        QueryCase{"TextExcluding", [](CacheFilter& f) { f.textQuery = "owner -alpha -drop"; },
                  V{"GC5", "GC4", "GC7"}},
        QueryCase{"TextOperatorsAreWords", [](CacheFilter& f) { f.textQuery = "DROP TABLE"; }, V{"GC6"}},
        QueryCase{"TextOnlyPunctuationIsNoCondition", [](CacheFilter& f) { f.textQuery = "-- \"\" *"; },
                  V{"GC1", "GC2", "GC5", "GC3", "GC6", "GC4", "GC7"}},
        QueryCase{"TextInTheBox", [](CacheFilter& f) { f.textQuery = "owner"; f.distanceKm = 4.0; },
                  V{"GC1", "GC5"}},
        QueryCase{"TextWithTag", [](CacheFilter& f) { f.textQuery = "done"; f.useTag = 1; f.tagCategory = "colour"; },
                  V{"GC3"}},
        QueryCase{"TextNeverTheDummyCache", [](CacheFilter& f) { f.textQuery = "tarnwick"; }, V{}}),
    test::RowName{});

// By relevance: the best match first, whatever the distance, and each row
// carries its rank for the list.
TEST_F(QueryFixture, TextQueryByRelevanceOrdersByTheIndexRank)
{
    CacheStore store(db, categories);
    CGeocache far;
    far.code = "GC8";
    far.name = "Bench bench bench";
    far.lat = 51.0;
    far.lon = 15.0;
    ASSERT_TRUE(store.InsertCache(far));
    CGeocache near;
    near.code = "GC9";
    near.name = "A bench and many other words of a long name";
    near.lat = 50.08;
    near.lon = 14.42;
    ASSERT_TRUE(store.InsertCache(near));
    CacheFilter f = anyCache();
    f.textQuery = "bench";
    EXPECT_EQ(codes(f), (V{"GC9", "GC8"}));
    inputs.byRelevance = true;
    EXPECT_EQ(codes(f), (V{"GC8", "GC9"}));
    const CacheQuery query = BuildCacheQuery(f, inputs);
    SQLite::Statement rows(db, query.sql);
    query.bind(rows);
    ASSERT_TRUE(rows.Next());
    ASSERT_EQ(rows.columnCount(), kRelevanceColumn + 1);
    const double best = rows.ColumnDouble(kRelevanceColumn);
    ASSERT_TRUE(rows.Next());
    EXPECT_LT(best, rows.ColumnDouble(kRelevanceColumn));
    EXPECT_LT(best, 0.0);
}

// Caches at one spot are met in the order of their keys; rows without a
// position sort first; a limit may cut through caches at one distance.
TEST_F(QueryFixture, NearestKeysOrderTiesAndMissingPositionsAsTheDatabase)
{
    CacheStore store(db, categories);
    for (const char* code : {"GCT3", "GCT1", "GCT2", "GCT4"}) {
        CGeocache c;
        c.code = code;
        c.lat = 50.081;
        c.lon = 14.421;
        ASSERT_TRUE(store.InsertCache(c));
    }
    ASSERT_EQ(db.Exec("UPDATE `geocache` SET `x` = NULL WHERE `id` = 'GC4'"), SQLITE_OK);
    ASSERT_EQ(db.Exec("UPDATE `geocache` SET `y` = 'east' WHERE `id` = 'GC6'"), SQLITE_OK);
    // The same with a distance limit that takes them all.
    CacheFilter within = anyCache();
    within.distanceKm = 50.0;
    for (const int maxRows : {3, 4, 999}) {
        for (const CacheFilter& filter : {anyCache(), within}) {
            inputs.maxRows = maxRows;
            const CacheQuery query = BuildCacheQuery(filter, inputs);
            ASSERT_FALSE(query.keySql.empty());
            std::vector<std::string> listed;
            for (const std::int64_t key : nearestKeys(db, query)) {
                SQLite::Statement row(db, "SELECT `id` FROM `geocache` WHERE `key` = ?");
                row.BindInt(1, key);
                ASSERT_TRUE(row.Next());
                listed.push_back(row.ColumnText(0));
            }
            const V all{"GC4", "GC1", "GCT3", "GCT1", "GCT2", "GCT4", "GC2", "GC5", "GC3", "GC7", "GC6"};
            const std::size_t limit = static_cast<std::size_t>(queryRowLimit(maxRows, filter.distanceKm));
            EXPECT_EQ(listed, V(all.begin(), all.begin() + std::min(all.size(), limit))) << maxRows;
            EXPECT_EQ(codes(filter), listed) << maxRows;
        }
    }
}

// With a distance limit the R-tree's box leads both statements: otherwise
// SQLite walks the index on the found date, nearly every row of a big
// database, and looks each up in the R-tree.
TEST_F(QueryFixture, DistanceLimitReadsTheBoxFirst)
{
    CacheFilter f; // not found, not the user's: `dtfound` = '0'
    f.distanceKm = 10.0;
    const CacheQuery query = BuildCacheQuery(f, inputs);
    for (const std::string& sql : {query.sql, query.keySql}) {
        SQLite::Statement plan(db, "EXPLAIN QUERY PLAN " + sql);
        ASSERT_TRUE(plan.Next()) << sql;
        EXPECT_EQ(plan.ColumnText(3).rfind("SCAN coord_index VIRTUAL TABLE", 0), 0u) << plan.ColumnText(3);
    }
}

// Positions kept between list loads never outlive a change of the database:
// a write through the list's own connection, through another, a file opened
// again after a change from outside.
TEST_F(QueryFixture, KeptPositionsFollowEveryChangeOfTheDatabase)
{
    CachePositions positions;
    auto listed = [&] { return keptCodes(positions); };
    inputs.maxRows = 3;
    EXPECT_EQ(listed(), V({"GC1", "GC2", "GC5"}));
    ASSERT_EQ(db.Exec("UPDATE `geocache` SET `x` = 50.0801, `y` = 14.4201 WHERE `id` = 'GC7'"), SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC1", "GC7", "GC2"}));

    SQLite::Database other;
    ASSERT_EQ(other.OpenFile((dir / "cachedb.db3").string()), SQLITE_OK);
    ASSERT_EQ(other.Exec("DELETE FROM `geocache` WHERE `id` = 'GC1'"), SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC7", "GC2", "GC5"}));

    db.Close();
    ASSERT_EQ(other.Exec("UPDATE `geocache` SET `x` = 50.0802, `y` = 14.4202 WHERE `id` = 'GC4'"), SQLITE_OK);
    ASSERT_EQ(db.OpenFile((dir / "cachedb.db3").string()), SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC7", "GC4", "GC2"}));
}

// After the connection's own writes only the rows written are read again;
// what the log of writes cannot show (a DELETE of the whole table, more
// writes than it keeps, rows read in a transaction that is rolled back)
// makes the positions be read whole, never kept wrong.
TEST_F(QueryFixture, KeptPositionsFollowWritesTheLogOfWritesCannotShow)
{
    CachePositions positions;
    inputs.maxRows = 3;
    auto listed = [&] { return keptCodes(positions); };
    EXPECT_EQ(listed(), V({"GC1", "GC2", "GC5"}));
    ASSERT_EQ(db.Exec("UPDATE `geocache` SET `x` = 50.0801, `y` = 14.4201 WHERE `id` = 'GC7'; "
                      "DELETE FROM `geocache` WHERE `id` = 'GC2'; INSERT INTO `geocache` (`id`, `x`, `y`) "
                      "VALUES ('GCN', 50.0802, 14.4202)"),
              SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC1", "GC7", "GCN"}));

    // Read inside a transaction that is then rolled back.
    ASSERT_EQ(db.Exec("BEGIN; UPDATE `geocache` SET `x` = 50.08, `y` = 14.42 WHERE `id` = 'GC4'"), SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC1", "GC4", "GC7"}));
    ASSERT_EQ(db.Exec("ROLLBACK"), SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC1", "GC7", "GCN"}));

    // A rolled back write, read after the rollback.
    ASSERT_EQ(db.Exec("BEGIN; DELETE FROM `geocache` WHERE `id` = 'GC1'; ROLLBACK"), SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC1", "GC7", "GCN"}));

    // The whole table emptied without a word to the hook, then one row
    // more and one row again with its old key.
    std::int64_t key5 = 0;
    {
        SQLite::Statement q(db, "SELECT `key` FROM `geocache` WHERE `id` = 'GC5'");
        ASSERT_TRUE(q.Next());
        key5 = q.columnInt64(0);
    }
    ASSERT_EQ(db.Exec("CREATE TEMP TABLE `saved` AS SELECT * FROM `geocache`; DELETE FROM `geocache`; "
                      "INSERT INTO `geocache` SELECT * FROM `saved` WHERE `id` IN ('GC0', 'GC3', 'GC6')"),
              SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC3", "GC6"}));
    ASSERT_EQ(db.Exec("INSERT INTO `geocache` SELECT * FROM `saved` WHERE `key` = " + std::to_string(key5)),
              SQLITE_OK);
    EXPECT_EQ(listed(), V({"GC5", "GC3", "GC6"}));

    // More writes than the log keeps.
    ASSERT_EQ(db.Exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                      std::to_string(SQLite::Database::kCacheWriteLog + 10) +
                      ") INSERT INTO `geocache` (`id`, `x`, `y`) SELECT 'GCM' || i, 51, 15 FROM n; "
                      "UPDATE `geocache` SET `x` = 50.0801, `y` = 14.4201 WHERE `id` = 'GCM7'"),
              SQLITE_OK);
    EXPECT_EQ(listed(), V({"GCM7", "GC5", "GC3"}));
}

// Past a thousand rows a filter that lets few through is answered from the
// rows that pass; both ways give the statement's rows.
TEST_F(QueryFixture, NearestKeysAgreeWithTheStatementOnManyCaches)
{
    ASSERT_EQ(db.Exec("INSERT INTO `geocache` (`id`, `x`, `y`, `cachetype`, `author`, `dtfound`, `cachestatus`) "
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1500) "
                      "SELECT 'GCF' || i, 50 + (i % 37) * 0.001, 14.4 + (i % 41) * 0.001, CASE WHEN i % 300 = 0 "
                      "THEN 'Event Cache' ELSE 'Traditional Cache' END, 'Owner', i % 3, 0 FROM n"),
              SQLITE_OK);
    CacheFilter events = anyCache();
    events.cacheTypes.fill(0);
    events.cacheTypes[CacheFilter::Event] = 1;
    EXPECT_EQ(codes(events).size(), 6u);
    inputs.maxRows = 50;
    EXPECT_EQ(codes(CacheFilter{}).size(), 50u);
}

TEST_F(QueryFixture, NicknameIsBoundToo)
{
    inputs.nickname = "O'Brien";
    CacheFilter f = anyCache();
    f.owned = 1;
    EXPECT_EQ(codes(f), V{"GC3"});
    f.owned = 0;
    EXPECT_EQ(codes(f).size(), 6u);
}

TEST_F(QueryFixture, PatternsBeyondSqlitesLimitStillMatch)
{
    CacheStore store(db, categories);
    CGeocache longName;
    longName.code = "GC9";
    longName.name = "a" + std::string(60000, 'x') + "b";
    ASSERT_TRUE(store.InsertCache(longName));
    CacheFilter f = anyCache();
    f.name = std::string(60000, 'X'); // ASCII case does not count, as with LIKE
    EXPECT_EQ(codes(f), V{"GC9"});
    f.name = kHugeText;
    EXPECT_EQ(codes(f), V{});
}

TEST_F(QueryFixture, SouthWestReferenceFindsTheCachesInItsBox)
{
    CacheStore store(db, categories);
    CGeocache sydney;
    sydney.code = "GCAU";
    sydney.lat = -33.87;
    sydney.lon = 151.21;
    ASSERT_TRUE(store.InsertCache(sydney));
    CGeocache lima;
    lima.code = "GCPE";
    lima.lat = -12.05;
    lima.lon = -77.04;
    ASSERT_TRUE(store.InsertCache(lima));
    CacheFilter f = anyCache();
    f.distanceKm = 5.0;
    f.useTag = 0;
    inputs.refLat = -33.8675;
    inputs.refLon = 151.2070;
    EXPECT_EQ(codes(f), V{"GCAU"});
    inputs.refLat = -12.0464;
    inputs.refLon = -77.0428;
    EXPECT_EQ(codes(f), V{"GCPE"});
    ASSERT_TRUE(AddTag(db, "GCPE", "colour", "red"));
    f.useTag = 1;
    f.tagCategory = "colour";
    EXPECT_EQ(codes(f), V{"GCPE"});
}

struct LimitCase {
    const char* name;
    int maxRows;
    double distanceKm;
    int limit;
    friend void PrintTo(const LimitCase& row, std::ostream* out) { *out << row.name; }
};

class RowLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(RowLimitTest, LeavesRoomForTheExactDistanceCheck)
{
    CacheFilter f;
    f.distanceKm = GetParam().distanceKm;
    QueryInputs in;
    in.maxRows = GetParam().maxRows;
    const CacheQuery q = BuildCacheQuery(f, in);
    EXPECT_EQ(q.limit, GetParam().limit);
    EXPECT_EQ(std::get<std::int64_t>(q.params.back()), GetParam().limit);
}

INSTANTIATE_TEST_SUITE_P(Limits, RowLimitTest,
                         ::testing::Values(LimitCase{"Small", 50, 2.0, 75}, LimitCase{"Below100", 80, 10.0, 120},
                                           LimitCase{"From100", 200, 10.0, 240},
                                           LimitCase{"NoDistance80", 80, 0.0, 80},
                                           LimitCase{"NoDistance200", 200, 0.0, 200}),
                         test::RowName{});

TEST(QueryBuilder, BoxAroundFiftyNorth)
{
    CacheFilter f;
    f.distanceKm = 10.0;
    QueryInputs in;
    in.refLat = 50.0;
    in.refLon = 14.0;
    const CacheQuery q = BuildCacheQuery(f, in);
    std::vector<double> box;
    for (const auto& p : q.params)
        if (const auto* d = std::get_if<double>(&p))
            box.push_back(*d);
    ASSERT_EQ(box.size(), 6u); // four box edges, then the order's centre
    EXPECT_DOUBLE_EQ(box[0], 49.895);
    EXPECT_DOUBLE_EQ(box[1], 50.105);
    EXPECT_NEAR(box[3] - 14.0, 0.163, 0.0005);
    EXPECT_NEAR(14.0 - box[2], 0.163, 0.0005);
    EXPECT_NE(q.sql.find("`coord_index`"), std::string::npos);
}

struct LikeCase {
    const char* name;
    const char* pattern;
    const char* text;
    friend void PrintTo(const LikeCase& row, std::ostream* out) { *out << row.name; }
};

class LikeMatchTest : public ::testing::TestWithParam<LikeCase> {};

// The fallback for long patterns answers as SQLite's own LIKE does.
TEST_P(LikeMatchTest, AgreesWithSqlite)
{
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(":memory:", &handle), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(handle, "SELECT ?2 LIKE ?1 ESCAPE '\\'", -1, &stmt, nullptr), SQLITE_OK);
    sqlite3_bind_text(stmt, 1, GetParam().pattern, -1, SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, GetParam().text, -1, SQLITE_STATIC);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    const bool expected = sqlite3_column_int(stmt, 0) != 0;
    sqlite3_finalize(stmt);
    sqlite3_close(handle);
    EXPECT_EQ(SQLite::likeMatch(GetParam().pattern, GetParam().text), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LikeMatchTest,
    ::testing::Values(LikeCase{"Exact", "abc", "abc"}, LikeCase{"AsciiCase", "ABC", "abc"},
                      LikeCase{"NonAsciiCaseCounts", "Ž", "ž"}, LikeCase{"NonAsciiSame", "%ůň", "kůň"},
                      LikeCase{"UnderscoreIsOneCharacter", "k_ň", "kůň"}, LikeCase{"UnderscoreNeedsOne", "a_", "a"},
                      LikeCase{"PercentEmpty", "a%b", "ab"}, LikeCase{"PercentBacktracks", "%ab%ac", "abxabac"},
                      LikeCase{"Mismatch", "%abd%", "abcabc"}, LikeCase{"OnlyPercent", "%%", ""},
                      LikeCase{"EmptyPattern", "", "x"}, LikeCase{"TrailingText", "ab", "abc"},
                      LikeCase{"EscapedPercent", "50\\%", "50%"}, LikeCase{"EscapedPercentIsNoWildcard", "\\%", "x"},
                      LikeCase{"EscapedUnderscore", "a\\_b", "axb"}, LikeCase{"EscapedBackslash", "a\\\\b", "a\\b"},
                      LikeCase{"EscapedInsidePercents", "%\\%%", "50% done"},
                      LikeCase{"EscapedNonAscii", "\\ů%", "ůň"}, LikeCase{"LoneEscapeAtTheEnd", "a\\", "a"}),
    test::RowName{});

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheReader.h"
#include "platform/Clock.h"
#include "tests/db/StoreFixture.h"
#include "tests/geo/RowName.h"

#include <cstdlib>
#include <ctime>

namespace tw {
namespace {

class StoreOperationsTest : public test::StoreFixture {
protected:
    CGeocache stored(const std::string& code)
    {
        auto c = LoadCacheByCode(db, code);
        EXPECT_TRUE(c.has_value()) << code;
        return c ? std::move(*c) : CGeocache{};
    }

    // A cache the user has worked with: a note, a find, a field note, an own
    // waypoint; and what came with the listing: an attribute, a log and an
    // imported waypoint.
    void storeWorkedCache()
    {
        CGeocache c = cache("GC1A2B3", CacheType::Multi);
        c.attributes = {"dogs-yes"};
        c.comment = "under the bridge";
        ASSERT_TRUE(store.InsertCache(c));
        ASSERT_TRUE(store.SetFoundState(c, LogType::FoundIt, "TFTC", found));
        CWaypoint own = waypoint("GC1A2B3", WaypointType::Final, 50.1, 14.4, 0);
        ASSERT_TRUE(store.InsertWaypoint(own));
        CWaypoint imported = waypoint("S11A2B3", WaypointType::Stage, 50.2, 14.5, 1);
        ASSERT_EQ(store.StoreImportedWaypoint(imported), ImportResult::NewWaypoint);
    }

    CacheStore store{db, categories, 0};
    // 24.11.2011 09:30 local time (the fixture runs in UTC).
    std::time_t found = 1322127000;
};

class UtcEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};
[[maybe_unused]] const auto* const kUtc = ::testing::AddGlobalTestEnvironment(new UtcEnvironment);

TEST_F(StoreOperationsTest, ImportingTwiceWithOnlyNewStoresOnceAndTagsBothTimes)
{
    CacheStore onlyNew(db, categories, 1);
    CGeocache first = cache("GC100");
    EXPECT_EQ(onlyNew.StoreImportedCache(first), ImportResult::NewCache);
    CGeocache second = cache("GC100");
    second.name = "renamed";
    EXPECT_EQ(onlyNew.StoreImportedCache(second), ImportResult::NotStored);

    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id = 'GC100'"), 1);
    EXPECT_EQ(stored("GC100").name, "Cache GC100");
    // Marked by both imports, with one tag.
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC100' AND ptrkat = " +
                    std::to_string(categories.lastImport)),
              1);
    EXPECT_TRUE(HasTag(db, "GC100", TagCategoryName::LastImport, "x"));
}

TEST_F(StoreOperationsTest, ReplaceKeepsWhatTheUserAddedAndDropsWhatTheListingBrought)
{
    storeWorkedCache();
    CGeocache fresh = cache("GC1A2B3", CacheType::Multi);
    fresh.name = "new name";
    fresh.attributes = {"kids-yes"};
    EXPECT_EQ(store.StoreImportedCache(fresh), ImportResult::Replaced);

    const CGeocache back = stored("GC1A2B3");
    EXPECT_EQ(back.name, "new name");
    EXPECT_EQ(back.comment, "under the bridge");
    EXPECT_EQ(back.found, 20111124);
    EXPECT_EQ(back.foundTime, 930);
    ASSERT_EQ(back.waypoints.size(), 1u); // the own one; the imported one went
    EXPECT_EQ(back.waypoints[0]->flag, 0);
    EXPECT_EQ(back.hasFinal, 1);

    CGeocache details = back;
    loadDetails(db, details, categories);
    EXPECT_EQ(details.attributes, std::vector<std::string>{"kids-yes"});
    EXPECT_EQ(details.fieldNoteText, "TFTC");
    EXPECT_EQ(details.fieldNoteType, LogType::FoundIt);
    EXPECT_EQ(details.fieldNoteTime, "20111124-0930");
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM coord_index"), 1);
}

TEST_F(StoreOperationsTest, FailedReplaceLeavesTheStoredCacheAsItWas)
{
    storeWorkedCache();
    // The insert half fails after the delete half has run.
    ASSERT_EQ(db.Exec("CREATE TRIGGER no_texts BEFORE INSERT ON geolist BEGIN SELECT RAISE(ABORT, 'disk full'); "
                      "END;"),
              SQLITE_OK);
    CGeocache fresh = cache("GC1A2B3", CacheType::Multi);
    EXPECT_EQ(store.StoreImportedCache(fresh), ImportResult::Failed);
    EXPECT_EQ(store.lastError(), SQLITE_CONSTRAINT);
    ASSERT_FALSE(prompter.messages().empty());
    EXPECT_EQ(prompter.messages()[0].text, "SQLite error: disk full");

    const CGeocache back = stored("GC1A2B3");
    EXPECT_EQ(back.comment, "under the bridge");
    EXPECT_EQ(back.found, 20111124);
    EXPECT_EQ(back.waypoints.size(), 2u);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC1A2B3' AND ptrkat = " +
                    std::to_string(categories.attribute)),
              1);
    EXPECT_FALSE(db.inTransaction());
}

TEST_F(StoreOperationsTest, ReimportingTheSameNoteLeavesItUnchanged)
{
    CGeocache c = cache("GC7");
    c.comment = "my note";
    ASSERT_TRUE(store.InsertCache(c));
    for (int i = 0; i < 3; ++i) {
        CGeocache again = cache("GC7");
        again.comment = "online note";
        ASSERT_TRUE(store.ReplaceCache(again));
    }
    EXPECT_EQ(stored("GC7").comment, "online notemy note");
}

struct NoteCase {
    const char* name;
    const char* fresh;
    const char* stored;
    const char* expected;
    friend void PrintTo(const NoteCase& row, std::ostream* out) { *out << row.name; }
};

class MergedNoteTest : public ::testing::TestWithParam<NoteCase> {};

TEST_P(MergedNoteTest, KeepsTheUsersNoteOnce)
{
    EXPECT_EQ(mergedNote(GetParam().fresh, GetParam().stored), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Notes, MergedNoteTest,
    ::testing::Values(NoteCase{"NoNewNote", "", "mine", "mine"}, NoteCase{"NoStoredNote", "web", "", "web"},
                      NoteCase{"Different", "web", "mine", "webmine"},
                      NoteCase{"StoredAlreadyHoldsNew", "web", "webmine", "webmine"},
                      NoteCase{"NewHoldsStored", "web and mine", "mine", "web and mine"},
                      NoteCase{"LineEndsCompareEqual", "a\nb", "a\r\nb", "a\r\nb"}),
    test::RowName{});

TEST_F(StoreOperationsTest, ImportedWaypointBelongsToItsCacheByPrefix)
{
    CWaypoint orphan = waypoint("PK1A2B3", WaypointType::Parking, 50.1, 14.4, 0);
    EXPECT_EQ(store.StoreImportedWaypoint(orphan), ImportResult::NotStored);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint"), 0);

    CGeocache parent = cache("GC1A2B3");
    ASSERT_TRUE(store.InsertCache(parent));
    CWaypoint w = waypoint("PK1A2B3", WaypointType::Parking, 50.1, 14.4, 0);
    EXPECT_EQ(store.StoreImportedWaypoint(w), ImportResult::NewWaypoint);
    EXPECT_EQ(w.code, "GC1A2B3");
    EXPECT_EQ(w.prefix, "PK");
    EXPECT_EQ(w.flag, 1);

    CWaypoint moved = waypoint("PK1A2B3", WaypointType::Parking, 50.5, 14.9, 0);
    EXPECT_EQ(store.StoreImportedWaypoint(moved), ImportResult::Nothing);
    EXPECT_EQ(moved.key, w.key);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE id = 'GC1A2B3' AND prefixid = 'PK' AND x = 50.5"), 1);

    EXPECT_TRUE(store.DeleteWaypoint(moved));
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint"), 0);
}

// Files give some waypoints no position, and give one the site knows by its
// identifier another prefix than an earlier file did.
TEST_F(StoreOperationsTest, ImportedWaypointWithoutAPositionOrUnderAnotherPrefix)
{
    CGeocache parent = cache("GC1A2B3");
    ASSERT_TRUE(store.InsertCache(parent));
    const auto at = [&](const char* prefix, double lat) {
        return count(std::string("SELECT COUNT(*) FROM waypoint WHERE id = 'GC1A2B3' AND prefixid = '") + prefix +
                     "' AND x = " + (lat == 0 ? "0" : "50.5") + " AND y = " + (lat == 0 ? "0" : "14.5"));
    };

    CWaypoint unplaced = waypoint("S11A2B3", WaypointType::Stage, 0, 0, 0);
    EXPECT_EQ(store.StoreImportedWaypoint(unplaced), ImportResult::NewWaypoint);
    EXPECT_EQ(at("S1", 0), 1);
    CWaypoint placed = waypoint("S11A2B3", WaypointType::Stage, 50.5, 14.5, 0);
    EXPECT_EQ(store.StoreImportedWaypoint(placed), ImportResult::Nothing);
    // A later file without the position leaves the one known.
    CWaypoint again = waypoint("S11A2B3", WaypointType::Stage, 0, 0, 0);
    again.name = "Station 1";
    EXPECT_EQ(store.StoreImportedWaypoint(again), ImportResult::Nothing);
    EXPECT_EQ(at("S1", 50.5), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE name = 'Station 1'"), 1);

    CWaypoint first = waypoint("S21A2B3", WaypointType::Stage, 50.5, 14.5, 0);
    first.guid = "f10270dc-0a0d-413d-97e7-8620e86f6xxx";
    ASSERT_EQ(store.StoreImportedWaypoint(first), ImportResult::NewWaypoint);
    CWaypoint renamed = waypoint("S31A2B3", WaypointType::Stage, 0, 0, 0);
    renamed.guid = first.guid;
    EXPECT_EQ(store.StoreImportedWaypoint(renamed), ImportResult::Nothing);
    EXPECT_EQ(renamed.key, first.key);
    EXPECT_EQ(at("S2", 50.5), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint"), 2);

    // A prefix of its own wins over the identifier of another waypoint.
    CWaypoint own = waypoint("S11A2B3", WaypointType::Stage, 0, 0, 0);
    own.guid = first.guid;
    EXPECT_EQ(store.StoreImportedWaypoint(own), ImportResult::Nothing);
    EXPECT_NE(own.key, first.key);

    // Addresses of the cache's page tell no waypoints apart; nor does an
    // identifier make a waypoint of another cache this one.
    for (const char* code : {"011A2B3", "021A2B3"}) {
        CWaypoint linked = waypoint(code, WaypointType::Parking, 50.5, 14.5, 0);
        linked.guid = "http://www.opencaching.de/viewcache.php?cacheid=159890";
        EXPECT_EQ(store.StoreImportedWaypoint(linked), ImportResult::NewWaypoint) << code;
    }
    CGeocache other = cache("GC9");
    ASSERT_TRUE(store.InsertCache(other));
    CWaypoint elsewhere = waypoint("S29", WaypointType::Stage, 50.5, 14.5, 0);
    elsewhere.guid = first.guid;
    EXPECT_EQ(store.StoreImportedWaypoint(elsewhere), ImportResult::NewWaypoint);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint"), 5);
}

TEST_F(StoreOperationsTest, FoundStateFollowsTheLogType)
{
    CGeocache c = cache("GC5");
    ASSERT_TRUE(store.InsertCache(c));
    ASSERT_TRUE(store.SetFoundState(c, LogType::FoundIt, "line 1\r\nline 2", found));
    EXPECT_EQ(c.found, 20111124);
    EXPECT_EQ(c.foundTime, 930);
    EXPECT_EQ(c.fieldNoteTime, "20111124-0930");

    // Not a find: the find stays, the stamp is the visit's, a day and an
    // hour later.
    ASSERT_TRUE(store.SetFoundState(c, LogType::DidntFindIt, "again", found + 86400 + 3600));
    EXPECT_EQ(stored("GC5").found, 20111124);
    EXPECT_EQ(stored("GC5").foundTime, 930);
    const std::string expected = "20111125-1030";
    EXPECT_EQ(c.fieldNoteTime, expected);
    // The second visit rewrote the three tags instead of adding more.
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC5'"), 3);
    CGeocache details = stored("GC5");
    loadDetails(db, details, categories);
    EXPECT_EQ(details.fieldNoteText, "again");
    EXPECT_EQ(details.fieldNoteType, LogType::DidntFindIt);
    EXPECT_EQ(details.fieldNoteTime, expected);

    ASSERT_TRUE(store.SetFoundState(c, LogType::ClearFind, "", found));
    EXPECT_EQ(stored("GC5").found, 0);
    EXPECT_EQ(stored("GC5").foundTime, 0);
}

TEST_F(StoreOperationsTest, DetailsAndLogsReadBackInTheirOrder)
{
    CGeocache c = cache("GC9");
    c.text = "short";
    c.longDesc = "<p>long</p>";
    c.longDescHtml = 1;
    c.hint = "left<br>right";
    for (int date : {20100101, 20120101, 20110101}) {
        auto log = std::make_unique<CGeoLog>();
        log->date = date;
        log->type = LogType::FoundIt;
        log->text = "log " + std::to_string(date);
        c.logs.push_back(std::move(log));
    }
    ASSERT_TRUE(store.InsertCache(c));
    ASSERT_EQ(db.Exec("INSERT INTO geolog (id, dt, type) VALUES ('GC9', 20090101, 'Some new kind of log')"),
              SQLITE_OK);

    CGeocache back = stored("GC9");
    loadDetails(db, back, categories);
    loadLogs(db, back);
    EXPECT_EQ(back.text, "short");
    EXPECT_EQ(back.longDesc, "<p>long</p>");
    EXPECT_EQ(back.longDescHtml, 1);
    EXPECT_EQ(back.hint, "left\r\nright");
    ASSERT_EQ(back.logs.size(), 4u);
    EXPECT_EQ(back.logs[0]->date, 20120101);
    EXPECT_EQ(back.logs[0]->text, "log 20120101");
    EXPECT_EQ(back.logs[3]->type, LogType::WriteNote); // unknown kinds read as notes
}

struct FinalCase {
    const char* name;
    int cacheType;
    double finalLat;
    bool finalSelected;
    int hasFinal;
    friend void PrintTo(const FinalCase& row, std::ostream* out) { *out << row.name; }
};

class HasFinalTest : public test::StoreFixture, public ::testing::WithParamInterface<FinalCase> {};

TEST_P(HasFinalTest, DependsOnAVisibleFinalWithAPosition)
{
    const FinalCase& p = GetParam();
    CacheStore store(db, categories);
    CGeocache c = cache("GC42", p.cacheType);
    ASSERT_TRUE(store.InsertCache(c));
    CWaypoint final = waypoint("GC42", WaypointType::Final, p.finalLat, p.finalLat == 0.0 ? 0.0 : 14.0, 0);
    ASSERT_TRUE(store.InsertWaypoint(final));

    WaypointTypeSelection types = kAllWaypointTypes;
    types[WaypointType::Final] = p.finalSelected;
    WaypointLoader loader(db, types);
    SQLite::Statement row(db, "SELECT * FROM geocache WHERE id = 'GC42'");
    ASSERT_TRUE(row.Next());
    const CGeocache back = geocacheFromRow(row, &loader);
    EXPECT_EQ(back.hasFinal, p.hasFinal);
}

INSTANTIATE_TEST_SUITE_P(
    Caches, HasFinalTest,
    ::testing::Values(FinalCase{"MultiWithFinal", CacheType::Multi, 50.0, true, 1},
                      FinalCase{"MultiWithFinalAtZero", CacheType::Multi, 0.0, true, 0},
                      FinalCase{"UnknownWithFinal", CacheType::Unknown, 50.0, true, 1},
                      FinalCase{"FinalTypeFilteredOut", CacheType::Unknown, 50.0, false, 0},
                      FinalCase{"TraditionalAlwaysHasOne", CacheType::Traditional, 0.0, true, 1}),
    test::RowName{});

TEST(WaypointQuery, ConditionOnlyForAPartialSelection)
{
    EXPECT_EQ(waypointQueryFor(kAllWaypointTypes, "GC1"), "SELECT *  FROM `waypoint` WHERE `id` = ?");
    EXPECT_EQ(waypointQueryFor({}, "GC1"), "SELECT *  FROM `waypoint` WHERE `id` = ?");
    EXPECT_EQ(waypointQueryFor({true, false, false, false, false, true}, "GC1"),
              "SELECT *  FROM `waypoint` WHERE `id` = ? AND (`wpttype` LIKE 'Final Location' OR `wpttype` LIKE "
              "'Trailhead')");
    // The user's own waypoints are never hidden.
    EXPECT_EQ(waypointQueryFor({true, false, false, false, false, true}, "GC0"),
              "SELECT *  FROM `waypoint` WHERE `id` = ?");
}

TEST_F(StoreOperationsTest, DeleteWithoutUserDataRemovesEverything)
{
    storeWorkedCache();
    int deleted = 0;
    store.setOnDeleted([&] { ++deleted; });
    EXPECT_TRUE(store.DeleteCache(stored("GC1A2B3"), false));
    EXPECT_EQ(deleted, 1);
    for (const char* table : {"geocache", "coord_index", "geolist", "geolog", "geotag", "waypoint"})
        EXPECT_EQ(count(std::string("SELECT COUNT(*) FROM ") + table), 0) << table;
}

TEST_F(StoreOperationsTest, BasicsUpdateMovesTheCacheInTheSpatialIndex)
{
    CGeocache c = cache("GC3");
    ASSERT_TRUE(store.InsertCache(c));
    CGeocache moved = cache("GC3");
    moved.lat = -33.8675;
    moved.lon = 151.207;
    moved.status = 2;
    EXPECT_EQ(CacheStore(db, categories, 1).UpdateCacheBasics(moved), ImportResult::NotStored);
    EXPECT_EQ(store.UpdateCacheBasics(cache("GC404")), ImportResult::Nothing);
    EXPECT_EQ(store.UpdateCacheBasics(moved), ImportResult::Replaced);
    EXPECT_EQ(stored("GC3").status, 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM coord_index WHERE minX < -33 AND minY > 151"), 1);
}

TEST_F(StoreOperationsTest, CommentIsStoredWithTheDay)
{
    CGeocache c = cache("GC8");
    ASSERT_TRUE(store.InsertCache(c));
    ASSERT_TRUE(store.SetComment(c, "bring a torch"));
    EXPECT_EQ(stored("GC8").comment, "bring a torch");
    EXPECT_FALSE(LoadCacheByCode(db, "GC404").has_value());
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/Statement.h"
#include "db/Tags.h"
#include "platform/Clock.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"

#include <sqlite3.h>

namespace tw {
namespace {

class CacheStoreTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        test::copyTemplateDb(dir / "cachedb.db3");
        ASSERT_EQ(db.OpenFile((dir / "cachedb.db3").string()), SQLITE_OK);
        categories = resolveTagCategories(db);
    }

    int count(const std::string& sql)
    {
        SQLite::Statement q(db, sql);
        EXPECT_EQ(q.Step(), SQLITE_ROW);
        return q.ColumnInt(0);
    }

    static CGeocache sampleCache()
    {
        CGeocache c;
        c.code = "GC1A2B3";
        c.name = "Hradní studna";
        c.author = "Kovář";
        c.lat = 49.318700;
        c.lon = 8.545650;
        c.type = CacheType::Multi;
        c.size = CacheSize::Small;
        c.difficulty = 25;
        c.terrain = 15;
        c.status = 1;
        c.hidden = 20110312;
        c.comment = "first line\nsecond line";
        c.text = "short";
        c.longDesc = std::string(5000, 'L');
        c.hint = "under the stone";
        c.attributes = {"dogs-yes", "scenic-yes"};
        auto log = std::make_unique<CGeoLog>();
        log->date = 20111124;
        log->type = LogType::DidntFindIt;
        log->finder = "Zdeněk";
        log->text = "Nic jsme nenašli.";
        c.logs.push_back(std::move(log));
        return c;
    }

    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    TagCategories categories;
};

TEST_F(CacheStoreTest, InsertedCacheReadsBackFieldByField)
{
    CGeocache cache = sampleCache();
    ASSERT_TRUE(CacheStore(db, categories).InsertCache(cache));
    EXPECT_GT(cache.key, 0);

    SQLite::Statement row(db, "SELECT * FROM geocache WHERE id = ?");
    row.BindText(1, "GC1A2B3");
    ASSERT_EQ(row.Step(), SQLITE_ROW);
    const CGeocache back = geocacheFromRow(row);
    EXPECT_EQ(back.key, cache.key);
    EXPECT_EQ(back.name, "Hradní studna");
    EXPECT_EQ(back.author, "Kovář");
    EXPECT_EQ(back.type, CacheType::Multi);
    EXPECT_EQ(back.size, CacheSize::Small);
    EXPECT_EQ(back.difficulty, 25); // 2.5 stored, 25 read: no 24 from 2.4999
    EXPECT_EQ(back.terrain, 15);
    EXPECT_EQ(back.status, 1);
    EXPECT_EQ(back.hidden, 20110312);
    EXPECT_EQ(back.updated, todayYmd());
    EXPECT_EQ(back.comment, "first line\r\nsecond line");
    EXPECT_DOUBLE_EQ(back.lat, 49.3187);
    EXPECT_EQ(back.hasFinal, 0); // a Multi-cache only knows after its waypoints

    EXPECT_EQ(count("SELECT COUNT(*) FROM coord_index WHERE minX <= 49.32 AND maxX >= 49.31"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC1A2B3'"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geolog WHERE id = 'GC1A2B3' AND type = 'Didn''t find it'"), 1);

    SQLite::Statement texts(db, "SELECT shortdesc, longdesc, hint FROM geolist WHERE id = 'GC1A2B3'");
    ASSERT_EQ(texts.Step(), SQLITE_ROW);
    EXPECT_EQ(DecompressText(texts.ColumnBlob(0)), "short");
    EXPECT_EQ(DecompressText(texts.ColumnBlob(1)), std::string(5000, 'L'));
    EXPECT_EQ(texts.ColumnText(2), "under the stone");
}

TEST_F(CacheStoreTest, FailingPartRollsBackTheWholeCache)
{
    ASSERT_EQ(db.Exec("DROP TABLE geolog;"), SQLITE_OK);
    CGeocache cache = sampleCache();
    EXPECT_FALSE(CacheStore(db, categories).InsertCache(cache));
    EXPECT_EQ(cache.key, 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM coord_index"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag"), 0);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].text.rfind("SQLite error: ", 0), 0u);
    EXPECT_FALSE(db.inTransaction());
}

TEST_F(CacheStoreTest, SharedValuesAreReusedOnlyWhenIdenticalAndLineBreaksStoredAsSlashes)
{
    int first = 0, second = 0, third = 0;
    ASSERT_TRUE(SetTag(db, "GC1", categories.attribute, "dogs-yes", true, first, true));
    ASSERT_TRUE(SetTag(db, "GC2", categories.attribute, "dogs-yes", true, second, true));
    EXPECT_NE(first, second);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue"), 1);
    ASSERT_TRUE(SetTag(db, "GC3", categories.attribute, "Dogs-Yes", true, third, true));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue"), 2);

    int note = 0;
    ASSERT_TRUE(SetTag(db, "GC1", categories.fieldNote, "line one\r\nline two", true, note, true));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue WHERE value = 'line one//line two'"), 1);
}

TEST_F(CacheStoreTest, PrivateValueIsChangedInPlace)
{
    int tag = 0;
    ASSERT_TRUE(SetTag(db, "GC1", categories.fieldNoteTime, "20111124-0930", false, tag, true));
    const int firstTag = tag;
    ASSERT_TRUE(SetTag(db, "GC1", categories.fieldNoteTime, "20111125-1000", false, tag, true));
    EXPECT_EQ(tag, firstTag);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC1'"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue WHERE value = '20111124-0930'"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue WHERE value = '20111125-1000'"), 1);
}

TEST_F(CacheStoreTest, CategoryNamesCompareExactlyButResolveWithLike)
{
    const int lower = GetCategoryKey(db, "mystery", true);
    ASSERT_GT(lower, 0);
    EXPECT_EQ(GetCategoryKey(db, "mystery", true), lower); // found, not added again
    EXPECT_EQ(GetCategoryKey(db, "Nothing", false), 0);
    const int upper = GetCategoryKey(db, "MYSTERY", true);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagcategory WHERE value LIKE 'mystery'"), 2);
    EXPECT_GT(upper, lower); // the last row matching with LIKE
}

TEST_F(CacheStoreTest, ImportedEntriesOfOtherPlatformsKeepTheirCodesAndShortNames)
{
    CacheStore store(db, categories, 0);
    CGeocache oc = sampleCache();
    oc.code = "OCF19A";
    oc.shortName = "Bierden";
    ASSERT_EQ(store.StoreImportedCache(oc), ImportResult::NewCache);
    // Imported again with another short name: one tag, the newer name.
    CGeocache again = sampleCache();
    again.code = "OCF19A";
    again.shortName = "Marsch";
    ASSERT_EQ(store.StoreImportedCache(again), ImportResult::Replaced);
    const std::string shortNames = "SELECT COUNT(*) FROM geotag JOIN geotagcategory ON geotagcategory.key = "
                                   "geotag.ptrkat WHERE geotag.id = 'OCF19A' AND geotagcategory.value = 'shortname'";
    EXPECT_EQ(count(shortNames), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag JOIN geotagvalue ON geotagvalue.key = geotag.ptrvalue "
                    "WHERE geotag.id = 'OCF19A' AND geotagvalue.value = 'Marsch'"),
              1);

    // A waypoint that comes with its prefix names its cache's own code; one
    // without is split and gets "GC" back, as before.
    CWaypoint child;
    child.code = "OCF19A";
    child.prefix = "1";
    child.name = "Parking";
    EXPECT_EQ(store.StoreImportedWaypoint(child), ImportResult::NewWaypoint);
    CWaypoint split;
    split.code = "PKF19A";
    EXPECT_EQ(store.StoreImportedWaypoint(split), ImportResult::NotStored); // no GCF19A
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE id = 'OCF19A' AND prefixid = '1' AND flag = 1"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint"), 1);
}

TEST(CompressText, RoundTripsAndRejectsForeignBlobs)
{
    const std::string text = "Příliš žluťoučký kůň úpěl ďábelské ódy. " + std::string(1000, 'a');
    const auto blob = CompressText(text);
    EXPECT_LT(blob.size(), text.size());
    EXPECT_EQ(DecompressText(blob), text);
    EXPECT_EQ(DecompressText(CompressText("")), "");
    EXPECT_EQ(DecompressText({'n', 'o', 't', ' ', 'z', 'l', 'i', 'b'}), "error");
}

} // namespace
} // namespace tw

namespace tw {
namespace {

TEST(CompressText, TextsThatCompressBetterThanTwentyToOneComeBackWhole)
{
    std::string html;
    for (int i = 0; i < 2000; ++i)
        html += "<tr><td>&nbsp;</td></tr>\n";
    const auto blob = CompressText(html);
    ASSERT_LT(blob.size() * 20, html.size());
    EXPECT_EQ(DecompressText(blob), html);

    // A blob cut short keeps what it held.
    auto cut = CompressText(std::string(100000, 'x') + "tail");
    cut.resize(cut.size() / 2);
    const std::string partial = DecompressText(cut);
    EXPECT_NE(partial, "error");
    EXPECT_EQ(partial.find_first_not_of('x'), std::string::npos);
}

} // namespace
} // namespace tw

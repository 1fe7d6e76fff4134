// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheReader.h"
#include "tests/db/StoreFixture.h"

namespace tw {
namespace {

class TagsTest : public test::StoreFixture {};

TEST_F(TagsTest, SameTagTwiceIsTwoRowsAndOneRemoveTakesBoth)
{
    ASSERT_TRUE(AddTag(db, "GC1", "colour", "red"));
    ASSERT_TRUE(AddTag(db, "GC1", "colour", "red"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotag WHERE id = 'GC1'"), 2);
    EXPECT_TRUE(HasTag(db, "GC1", "colour", "red"));
    EXPECT_TRUE(HasTag(db, "GC1", "colour", ""));
    EXPECT_FALSE(HasTag(db, "GC2", "colour", "red"));
    ASSERT_TRUE(RemoveTag(db, "GC1", "colour", "red"));
    EXPECT_FALSE(HasTag(db, "GC1", "colour", "red"));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue WHERE value = 'red'"), 1); // value rows stay
}

TEST_F(TagsTest, RemoveWithoutValueTakesTheWholeCategoryOfThatCacheOnly)
{
    ASSERT_TRUE(AddTag(db, "GC1", "colour", "red"));
    ASSERT_TRUE(AddTag(db, "GC1", "colour", "blue"));
    ASSERT_TRUE(AddTag(db, "GC1", "size", "big"));
    ASSERT_TRUE(AddTag(db, "GC2", "colour", "red"));
    ASSERT_TRUE(RemoveTag(db, "GC1", "colour", ""));
    EXPECT_FALSE(HasTag(db, "GC1", "colour", ""));
    EXPECT_TRUE(HasTag(db, "GC1", "size", "big"));
    EXPECT_TRUE(HasTag(db, "GC2", "colour", "red"));
}

TEST_F(TagsTest, LookupsNeverCreateCategoriesOrValues)
{
    const int categoriesBefore = count("SELECT COUNT(*) FROM geotagcategory");
    EXPECT_FALSE(HasTag(db, "GC1", "no such category", "x"));
    EXPECT_FALSE(HasTag(db, "GC1", TagCategoryName::Attribute, "no such value"));
    EXPECT_TRUE(RemoveTag(db, "GC1", "no such category", ""));
    EXPECT_EQ(GetValueKey(db, "nothing"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagcategory"), categoriesBefore);
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue"), 0);
}

TEST_F(TagsTest, ListsShowCategoriesByNameAndOnlyValuesInUse)
{
    ASSERT_TRUE(AddTag(db, "GC1", "zebra", "stripes"));
    ASSERT_TRUE(AddTag(db, "GC1", "Apple", "green"));
    ASSERT_TRUE(AddTag(db, "GC2", "Apple", "red"));
    ASSERT_TRUE(AddTag(db, "GC3", "Apple", "red"));
    ASSERT_TRUE(RemoveTag(db, "GC1", "Apple", "green"));

    const auto names = ListCategories(db);
    ASSERT_GE(names.size(), 2u);
    EXPECT_EQ(names.front(), "Apple");
    EXPECT_EQ(names.back(), "zebra");
    EXPECT_EQ(ListValues(db, "Apple"), std::vector<std::string>{"red"});
    EXPECT_TRUE(ListValues(db, "none").empty());

    EXPECT_GT(FindTagKey(db, "GC2", GetCategoryKey(db, "Apple", false)), 0);
    EXPECT_EQ(FindTagKey(db, "GC1", GetCategoryKey(db, "Apple", false)), 0);
    const std::vector<std::pair<std::string, std::string>> tags{{"Apple", "red"}};
    EXPECT_EQ(tagsOfCache(db, "GC3"), tags);
}

TEST_F(TagsTest, LastImportMarksOnlyTheLatestImport)
{
    CacheStore store(db, categories);
    for (const char* code : {"GC1", "GC2"}) {
        CGeocache c;
        c.code = code;
        store.StoreImportedCache(c);
    }
    ASSERT_TRUE(DeleteTagsOfCategory(db, categories.lastImport));
    CGeocache again;
    again.code = "GC2";
    EXPECT_EQ(store.StoreImportedCache(again), ImportResult::NotStored);
    EXPECT_FALSE(HasTag(db, "GC1", TagCategoryName::LastImport, "x"));
    EXPECT_TRUE(HasTag(db, "GC2", TagCategoryName::LastImport, "x"));
}

TEST_F(TagsTest, NotesWithWildcardsOrOtherCaseKeepTheirOwnText)
{
    // Each note would match an earlier one under LIKE ("%", "_", letter case).
    const std::vector<std::pair<std::string, std::string>> notes{
        {"GC1", "Done 100 times"}, {"GC2", "Done 100%"}, {"GC3", "done 100 TIMES"},
        {"GC4", "axb"},            {"GC5", "a_b"},       {"GC6", "Done 100 times"}};
    CacheStore store(db, categories);
    std::vector<CGeocache> caches;
    for (const auto& [code, text] : notes) {
        caches.push_back(cache(code));
        ASSERT_TRUE(store.InsertCache(caches.back()));
        ASSERT_TRUE(store.SetFoundState(caches.back(), LogType::WriteNote, text, 0));
    }
    for (std::size_t i = 0; i < notes.size(); ++i) {
        auto stored = LoadCacheByCode(db, notes[i].first);
        ASSERT_TRUE(stored);
        loadDetails(db, *stored, categories);
        EXPECT_EQ(stored->fieldNoteText, notes[i].second) << notes[i].first;
    }
    // Identical notes still share one value row.
    EXPECT_EQ(count("SELECT COUNT(*) FROM geotagvalue WHERE value = 'Done 100 times'"), 1);
}

TEST_F(TagsTest, ReadFailureIsShownPlainly)
{
    ASSERT_EQ(db.Exec("DROP TABLE geotag;"), SQLITE_OK);
    EXPECT_FALSE(HasTag(db, "GC1", TagCategoryName::Attribute, ""));
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0].icon, MessageIcon::Plain);
    EXPECT_EQ(prompter.messages()[0].text.rfind("SQLite error", 0), std::string::npos);
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/FullText.h"
#include "filter/CacheFilter.h"
#include "platform/IniFile.h"
#include "tests/TestSupport.h"
#include "tests/geo/RowName.h"

namespace tw {
namespace {

class FilterPersistenceTest : public test::TempDirTest {
protected:
    static CacheFilter sample()
    {
        CacheFilter f;
        f.code = "1A*";
        f.name = "Hradní studna";
        f.owner = "O'Brien";
        f.distanceKm = 2.5;
        f.owned = 2;
        f.found = 1;
        f.active = 1;
        f.archived = 1;
        f.mustHaveFinal = 1;
        f.cacheTypes[CacheFilter::Event] = 0;
        f.wptTypes[3] = 0;
        f.refPoint = 2;
        f.manLat = -33.8675;
        f.manLon = 151.2070;
        f.useTag = 2;
        f.tagCategory = "colour";
        f.tagValue = "red";
        f.textQuery = "hint:\"pod kamenem\" -magnet*";
        f.textFields = TextField::Hint | TextField::Logs;
        return f;
    }

    static void expectSame(const CacheFilter& a, const CacheFilter& b)
    {
        EXPECT_EQ(a.code, b.code);
        EXPECT_EQ(a.name, b.name);
        EXPECT_EQ(a.owner, b.owner);
        EXPECT_DOUBLE_EQ(a.distanceKm, b.distanceKm);
        EXPECT_EQ(a.owned, b.owned);
        EXPECT_EQ(a.found, b.found);
        EXPECT_EQ(a.active, b.active);
        EXPECT_EQ(a.disabled, b.disabled);
        EXPECT_EQ(a.archived, b.archived);
        EXPECT_EQ(a.mustHaveFinal, b.mustHaveFinal);
        EXPECT_EQ(a.cacheTypes, b.cacheTypes);
        EXPECT_EQ(a.wptTypes, b.wptTypes);
        EXPECT_EQ(a.refPoint, b.refPoint);
        EXPECT_NEAR(a.manLat, b.manLat, 5e-7);
        EXPECT_NEAR(a.manLon, b.manLon, 5e-7);
        EXPECT_EQ(a.useTag, b.useTag);
        EXPECT_EQ(a.tagCategory, b.tagCategory);
        EXPECT_EQ(a.tagValue, b.tagValue);
        EXPECT_EQ(a.textQuery, b.textQuery);
        EXPECT_EQ(a.textFields, b.textFields);
    }
};

TEST_F(FilterPersistenceTest, SettingsRoundTripWithTheirStoredForms)
{
    {
        IniFile ini(dir / "Tarnwick.ini");
        sample().Save(ini);
        ASSERT_TRUE(ini.save());
    }
    IniFile ini(dir / "Tarnwick.ini");
    EXPECT_EQ(ini.getInt("Filter", "Distance"), 250);
    EXPECT_EQ(ini.getInt("Filter", "ManLat"), 33867500);
    EXPECT_EQ(ini.getInt("Filter", "ManLatN"), 0);
    EXPECT_EQ(ini.getInt("Filter", "ManLon"), 151207000);
    EXPECT_EQ(ini.getInt("Filter", "ManLonE"), 1);
    EXPECT_EQ(ini.getInt("Filter", "CacheType7"), 0);
    CacheFilter back;
    back.Load(ini);
    expectSame(back, sample());
}

TEST_F(FilterPersistenceTest, FileRoundTripKeepsMetresAndSignedCoordinates)
{
    const auto folder = dir / "maps" / "filter";
    ASSERT_TRUE(sample().SaveToFile(folder, sanitizeFilterName("my filter #2")));
    ASSERT_TRUE(std::filesystem::exists(folder / "my_filter__2.pf"));
    const std::string bytes = test::readFile(folder / "my_filter__2.pf");
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u); // UTF-8 signature
    EXPECT_NE(bytes.find("Distance = 2500"), std::string::npos);

    CacheFilter back;
    ASSERT_TRUE(back.LoadFromFile(folder, "my_filter__2"));
    expectSame(back, sample());
    EXPECT_EQ(listFilterFiles(folder), std::vector<std::string>{"my_filter__2"});
    EXPECT_TRUE(deleteFilterFile(folder, "my_filter__2"));
    EXPECT_TRUE(listFilterFiles(folder).empty());
}

TEST_F(FilterPersistenceTest, MissingValuesKeepTheCurrentFields)
{
    CacheFilter fresh;
    EXPECT_EQ(fresh.cacheTypes, (std::array<int, 10>{1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(fresh.wptTypes, (std::array<int, 6>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(fresh.distanceKm, 0.0);
    EXPECT_EQ(fresh.useTag, 0);

    CacheFilter f = sample();
    IniFile empty(dir / "none.ini");
    f.Load(empty);
    CacheFilter expected = sample();
    expected.useTag = 0; // the tag condition and the text query read as none when absent
    expected.tagCategory.clear();
    expected.tagValue.clear();
    expected.textQuery.clear();
    expected.textFields = 0;
    expectSame(f, expected);

    CacheFilter g = sample();
    EXPECT_FALSE(g.LoadFromFile(dir, "absent"));
    expectSame(g, sample());
}

// A filter saved before the text query existed loads without one, whatever
// the current filter searched for.
TEST_F(FilterPersistenceTest, FilterFilesWithoutATextQueryLoadWithNone)
{
    test::writeFile(dir / "old.pf", "[Filter]\nName = studna\nDistance = 1500\n");
    CacheFilter f = sample();
    ASSERT_TRUE(f.LoadFromFile(dir, "old"));
    EXPECT_EQ(f.name, "studna");
    EXPECT_DOUBLE_EQ(f.distanceKm, 1.5);
    EXPECT_TRUE(f.textQuery.empty());
    EXPECT_EQ(f.textFields, 0u);
}

struct NameCase {
    const char* name;
    const char* input;
    const char* file;
    friend void PrintTo(const NameCase& row, std::ostream* out) { *out << row.name; }
};

class FilterNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(FilterNameTest, OnlyLettersAndDigitsSurvive)
{
    EXPECT_EQ(sanitizeFilterName(GetParam().input), GetParam().file);
}

INSTANTIATE_TEST_SUITE_P(Names, FilterNameTest,
                         ::testing::Values(NameCase{"Spaces", "my filter #2", "my_filter__2"},
                                           NameCase{"PathParts", "../../etc/passwd", "______etc_passwd"},
                                           NameCase{"Accents", "Šumava", "_umava"},
                                           NameCase{"Plain", "Prague2", "Prague2"}),
                         test::RowName{});

} // namespace
} // namespace tw

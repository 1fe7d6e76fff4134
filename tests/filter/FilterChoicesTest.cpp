// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter/FilterChoices.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(FilterChoices, ShowAllCachesDropsEveryConditionButKeepsTheReferencePoint)
{
    EXPECT_EQ(scopeOf(CacheFilter()), FilterScope::Filtered); // not mine, not found
    CacheFilter f = lastImportFilter();
    EXPECT_EQ(scopeOf(f), FilterScope::LastImport);
    f.refPoint = 2;
    f.manLat = -33.8675;
    f.manLon = 151.207;
    f.wptTypes = {1, 0, 0, 1, 0, 0};
    f.name = "mill";
    f.distanceKm = 5;
    f.cacheTypes[CacheFilter::Event] = 0;
    showAllCaches(f);
    EXPECT_EQ(scopeOf(f), FilterScope::AllCaches);
    EXPECT_EQ(f.refPoint, 2);
    EXPECT_EQ(f.manLat, -33.8675);
    EXPECT_EQ(f.manLon, 151.207);
    EXPECT_EQ(f.wptTypes, (std::array<int, 6>{1, 0, 0, 1, 0, 0}));
    EXPECT_TRUE(f.name.empty());
    EXPECT_EQ(f.distanceKm, 0.0);

    // Any one condition hides caches again.
    for (auto hide : std::initializer_list<void (*)(CacheFilter&)>{
             [](CacheFilter& x) { x.found = 0; }, [](CacheFilter& x) { x.archived = 0; },
             [](CacheFilter& x) { x.cacheTypes[0] = 0; }, [](CacheFilter& x) { x.useTag = 2; },
             [](CacheFilter& x) { x.code = "12*"; }, [](CacheFilter& x) { x.mustHaveFinal = 1; }}) {
        CacheFilter g = f;
        hide(g);
        EXPECT_EQ(scopeOf(g), FilterScope::Filtered);
    }
}

TEST(FilterChoices, DistancesInTheUsersUnits)
{
    EXPECT_DOUBLE_EQ(distanceInUserUnits(2.5, true), 2.5);
    EXPECT_DOUBLE_EQ(distanceKmFromUserUnits(10, false), 16.09344);
    EXPECT_NEAR(distanceInUserUnits(16.09344, false), 10.0, 1e-12);
    // The search page: tenths of a mile, rounded half up.
    EXPECT_NEAR(searchDistanceInUserUnits(10.0, false), 6.2, 1e-12);
    EXPECT_NEAR(searchDistanceInUserUnits(0.08, false), 0.0, 1e-12);
    EXPECT_NEAR(searchDistanceInUserUnits(0.09, false), 0.1, 1e-12);
    EXPECT_EQ(readEnteredNumber(" 2,5 "), 2.5);
    EXPECT_FALSE(readEnteredNumber("-1"));
    EXPECT_FALSE(readEnteredNumber("ten"));
    EXPECT_EQ(eitherIndex(7), 2);
    EXPECT_EQ(eitherIndex(1), 1);
}

} // namespace
} // namespace tw

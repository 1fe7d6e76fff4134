// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/GeoMath.h"
#include "geo/ReferencePosition.h"
#include "geo/UnitFormat.h"
#include "tests/geo/LocaleGuard.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tw::geo {
namespace {

struct DistanceCase {
    const char* name;
    double km;
    bool metric;
    bool allowSmall;
    const char* expected;
};

class FormatDistance : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(FormatDistance, PicksTheUnitByTheBounds)
{
    const auto& c = GetParam();
    EXPECT_EQ(formatDistance(c.km, c.metric, c.allowSmall), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Geo, FormatDistance, ::testing::Values(
    DistanceCase{"Hundreds", 123.4, true, true, "  123 km"},
    DistanceCase{"ExactlyHundred", 100.0, true, true, "  100 km"},
    DistanceCase{"ExactlyTen", 10.0, true, true, "10.0 km"},
    DistanceCase{"OneToTen", 1.234, true, true, "1.23 km"},
    DistanceCase{"BelowOneWithoutSmallUnits", 0.5, true, false, "0.50 km"},
    DistanceCase{"HundredMetres", 0.1, true, true, " 100 m"},
    DistanceCase{"BelowHundredMetres", 0.0999, true, true, "99.9 m"},
    DistanceCase{"Zero", 0.0, true, true, "0.0 m"},
    DistanceCase{"Miles", 200.0, false, true, "  124 mi"},
    DistanceCase{"TensOfMiles", 16.09344, false, true, "10.0 mi"},
    DistanceCase{"ThousandFeet", 0.3048, false, true, "1000 ft"},
    DistanceCase{"BelowThousandFeet", 0.03048, false, true, "100.0 ft"},
    DistanceCase{"NotANumberDoesNotCrash", std::numeric_limits<double>::quiet_NaN(), true, true, "nan m"}),
    test::RowName());

struct HeightCase {
    const char* name;
    double metres;
    bool withUnit;
    bool metric;
    const char* expected;
};

class FormatHeight : public ::testing::TestWithParam<HeightCase> {};

TEST_P(FormatHeight, RoundsHalfUpTowardZero)
{
    const auto& c = GetParam();
    EXPECT_EQ(formatHeight(c.metres, c.withUnit, c.metric), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Geo, FormatHeight, ::testing::Values(
    HeightCase{"Metres", 312.4, true, true, "312 m"},
    HeightCase{"HalfRoundsUp", 312.5, true, true, "313 m"},
    HeightCase{"NegativeTruncatesTowardZero", -3.7, true, true, "-3 m"},
    HeightCase{"SmallNegativeIsZero", -0.7, true, true, "0 m"},
    HeightCase{"Feet", 100.0, true, false, "328 ft"},
    HeightCase{"WithoutUnit", 100.0, false, false, "328"},
    HeightCase{"HugeDoesNotOverflow", 1e12, false, true, "1000000000000"}),
    test::RowName());

TEST(UnitFormat, IndependentOfTheLocale)
{
    test::GermanLocale german;
    if (!german.active)
        GTEST_SKIP() << "no German locale installed";
    EXPECT_EQ(formatDistance(1.234, true, true), "1.23 km");
    EXPECT_EQ(formatLength(0.0999, true), "99.9 m");
}

// Recording stand-ins for the receiver and the map screen.
struct FakeGps : LivePositionSource {
    LiveFix fix;
    LiveFix liveFix() const override { return fix; }
};

struct FakeMap : MapCentreSource {
    LatLon centre{48.0, 16.0};
    bool reloading = false;
    LatLon mapCentre() const override { return centre; }
    bool isReloadingVisibleArea() const override { return reloading; }
};

constexpr LatLon kHome{50.0, 14.0};
constexpr LatLon kManual{-33.0, 151.0};
constexpr LatLon kGps{49.5, 13.5};

struct ReferenceCase {
    const char* name;
    int refPoint;
    bool useLive;
    LiveFix fix;
    bool withMap;
    bool reloading;
    LatLon expected;
};

class Reference : public ::testing::TestWithParam<ReferenceCase> {};

TEST_P(Reference, FollowsModeReceiverAndMap)
{
    const auto& c = GetParam();
    FakeGps gps;
    gps.fix = c.fix;
    FakeMap map;
    map.reloading = c.reloading;
    ReferenceContext context{c.refPoint, kManual, kHome, true, &gps, c.withMap ? &map : nullptr};
    EXPECT_EQ(referencePosition(context, c.useLive), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Geo, Reference, ::testing::Values(
    ReferenceCase{"LiveUsesGps", 2, true, {kGps, true}, true, true, kGps},
    ReferenceCase{"LiveFallsBackPerValue", 2, true, {{49.5, 0.0}, true}, false, false, {49.5, 14.0}},
    ReferenceCase{"LiveWithoutFixStillUsesLastValue", 0, true, {kGps, false}, false, false, kGps},
    ReferenceCase{"GpsModeWithFix", 0, false, {kGps, true}, false, false, kGps},
    ReferenceCase{"GpsModeWithoutFixIsHome", 0, false, {kGps, false}, false, false, kHome},
    ReferenceCase{"MapMode", 1, false, {kGps, true}, true, false, {48.0, 16.0}},
    ReferenceCase{"MapModeWithoutMapIsHome", 1, false, {kGps, true}, false, false, kHome},
    ReferenceCase{"ReloadingMapWinsOverManual", 2, false, {}, true, true, {48.0, 16.0}},
    ReferenceCase{"Manual", 2, false, {kGps, true}, true, false, kManual},
    ReferenceCase{"OtherModeIsHome", 7, false, {kGps, true}, true, false, kHome}),
    test::RowName());

TEST(ReferencePosition, SectorsAndCacheDistance)
{
    EXPECT_EQ(sectorOfBearing(0.0), 0);
    EXPECT_EQ(sectorOfBearing(22.4999), 0);
    EXPECT_EQ(sectorOfBearing(22.5), 1);
    EXPECT_EQ(sectorOfBearing(337.4999), 7);
    EXPECT_EQ(sectorOfBearing(337.5), 0);
    EXPECT_EQ(sectorOfBearing(360.0), 0); // 2π − ε rounded into degrees
    EXPECT_EQ(sectorOfBearing(std::nan("")), 8);

    ReferenceContext home{7, {}, kHome, true, nullptr, nullptr};
    EXPECT_EQ(referenceSector(home, {51.0, 14.0}), 0);
    EXPECT_EQ(referenceSector(home, {50.0, 15.0}), 2);
    EXPECT_EQ(referenceSector(home, {49.0, 14.0}), 4);
    EXPECT_NEAR(referenceBearingDeg(home, {50.0, 13.0}), 270.0, 0.5);
    EXPECT_EQ(formatCacheDistance(home, {}, true, false), "???");
    EXPECT_EQ(formatCacheDistance(home, projectPoint(kHome, 0.05, 30.0), true, false), "50.0 m");
    home.metricUnits = false;
    EXPECT_EQ(formatCacheDistance(home, projectPoint(kHome, 160.9344, 30.0), false, false), "  100 mi");
}

} // namespace
} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/CoordEntry.h"
#include "tests/geo/LocaleGuard.h"

#include <gtest/gtest.h>

#include <optional>

namespace tw::geo {
namespace {

constexpr CoordEntryStyle kStyles[] = {CoordEntryStyle::Degrees, CoordEntryStyle::DegreesMinutes,
                                       CoordEntryStyle::DegreesMinSec};

TEST(CoordEntry, FieldsShowEachStyleAndReadBack)
{
    EXPECT_EQ(formatCoordField(50.123456, false, CoordEntryStyle::Degrees), "50.12346°");
    EXPECT_EQ(formatCoordField(-14.5, true, CoordEntryStyle::DegreesMinutes), "014° 30.000'");
    EXPECT_EQ(formatCoordField(50.123456, false, CoordEntryStyle::DegreesMinSec), "50° 07' 24.4\"");
    // Rounding carries into the degrees instead of showing 60 minutes.
    EXPECT_EQ(formatCoordField(49.9999999, false, CoordEntryStyle::DegreesMinutes), "50° 00.000'");
    EXPECT_EQ(formatCoordField(14.99999, true, CoordEntryStyle::DegreesMinSec), "015° 00' 00.0\"");

    // Every style reads its own field back within its last digit, on both hemispheres.
    const double steps[] = {0.00001, 0.001 / 60, 0.1 / 3600};
    for (int s = 0; s < 3; ++s)
        for (double value : {0.0, 7.3456789, 49.99999, 89.5, 179.25}) {
            const bool lon = value > 90;
            const std::string field = formatCoordField(value, lon, kStyles[s]);
            for (bool negative : {false, true}) {
                const auto back = readCoordFieldIn(field, negative, lon, kStyles[s]);
                ASSERT_TRUE(back) << field;
                EXPECT_NEAR(*back, negative ? -value : value, steps[s] / 2 + 1e-12) << field;
            }
        }
}

TEST(CoordEntry, FieldsRefuseWhatIsNoCoordinate)
{
    EXPECT_FALSE(readCoordFieldIn("50° 60.000'", false, false, CoordEntryStyle::DegreesMinutes));
    EXPECT_FALSE(readCoordFieldIn("91° 00.000'", false, false, CoordEntryStyle::DegreesMinutes));
    EXPECT_TRUE(readCoordFieldIn("180° 00.000'", true, true, CoordEntryStyle::DegreesMinutes));
    EXPECT_FALSE(readCoordFieldIn("180° 00.001'", false, true, CoordEntryStyle::DegreesMinutes));
    EXPECT_FALSE(readCoordFieldIn("50° 07' 60.0\"", false, false, CoordEntryStyle::DegreesMinSec));
    EXPECT_FALSE(readCoordFieldIn("50.5° 07.000'", false, false, CoordEntryStyle::DegreesMinutes));
    EXPECT_FALSE(readCoordFieldIn("50° 07.407'", false, false, CoordEntryStyle::Degrees));
    EXPECT_FALSE(readCoordFieldIn("", false, false, CoordEntryStyle::Degrees));
}

TEST(CoordEntry, PasteReadsEveryStyleTheProgramWrites)
{
    const test::GermanLocale german; // no decimal commas in what is written or read
    const LatLon p{-33.8675, 151.20703};
    for (CoordEntryStyle style : kStyles) {
        const std::string text = formatCoordsIn(p, style);
        const auto back = readAnyCoords(text);
        ASSERT_TRUE(back) << text;
        EXPECT_NEAR(back->lat, p.lat, 1e-4) << text;
        EXPECT_NEAR(back->lon, p.lon, 1e-4) << text;
    }
    EXPECT_EQ(formatCoordsIn({50.123456, -14.5}, CoordEntryStyle::DegreesMinSec), "N 50°07'24.4\" W 014°30'00.0\"");

    const auto decimal = readAnyCoords("50.08750, 14.42130");
    ASSERT_TRUE(decimal);
    EXPECT_DOUBLE_EQ(decimal->lat, 50.0875);
    EXPECT_DOUBLE_EQ(decimal->lon, 14.4213);
    const auto negative = readAnyCoords("-33.8675, -151.207");
    ASSERT_TRUE(negative);
    EXPECT_DOUBLE_EQ(negative->lon, -151.207);
    // Two bare numbers remain minutes of the base, as the listing reader takes them.
    const auto minutes = readAnyCoords("08.500 30.125", {50.1, 14.2});
    ASSERT_TRUE(minutes);
    EXPECT_NEAR(minutes->lat, 50 + 8.5 / 60, 1e-12);

    EXPECT_FALSE(readAnyCoords("see the hint"));
    EXPECT_FALSE(readAnyCoords("95.0, 14.0"));
    EXPECT_FALSE(readAnyCoords("N 50 07 61 E 14 30 00"));
}

TEST(CoordEntry, ProjectionStaysWithinTheFields)
{
    const LatLon north = projectForEntry({50.0, 14.0}, 1000.0, 0.0);
    EXPECT_NEAR(north.lat, 50.0 + 1.0 / 6372.795 * 57.29577951308232, 1e-9);
    EXPECT_DOUBLE_EQ(north.lon, 14.0);
    const LatLon across = projectForEntry({0.0, 179.99}, 5000.0, 90.0);
    EXPECT_LT(across.lon, -179.9);
}

} // namespace
} // namespace tw::geo

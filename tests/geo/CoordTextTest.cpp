// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/CoordFormat.h"
#include "geo/CoordParser.h"
#include "tests/geo/LocaleGuard.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <optional>
#include <random>

namespace tw::geo {
namespace {

// 0.001' printed, half of it lost at most, plus the rounding of the sum.
constexpr double kThousandthMinuteDeg = 0.001 / 60;

struct FormatCase {
    const char* name;
    double lat, lon;
    CoordStyle style;
    const char* expected;
};

class FormatCoords : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatCoords, WritesDegreesAndMinutes)
{
    const auto& c = GetParam();
    EXPECT_EQ(formatCoords(c.lat, c.lon, c.style), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Geo, FormatCoords, ::testing::Values(
    FormatCase{"Listing", 50.123456, 14.5, CoordStyle::Letters, "N 50°07.407' E 014°30.000'"},
    FormatCase{"SouthWest", -33.8675, -151.207, CoordStyle::Letters, "S 33°52.050' W 151°12.420'"},
    FormatCase{"Bare", 50.123456, 14.5, CoordStyle::Bare, "50°07.407 014°30.000"},
    FormatCase{"GpsStatus", -0.5, 7.25, CoordStyle::GpsStatus, "S 00°30.000 E 007°15.000"},
    FormatCase{"MinutesDoNotCarryIntoDegrees", 49.99999333, 0.0, CoordStyle::Letters, "N 49°60.000' E 000°00.000'"},
    FormatCase{"TinySouthKeepsItsLetter", -0.0000001, 180.0, CoordStyle::Letters, "S 00°00.000' E 180°00.000'"},
    FormatCase{"WildValueDoesNotOverflow", 1e12, -1e12, CoordStyle::Bare, "1000000000000°00.000 1000000000000°00.000"}),
    test::RowName());

TEST(CoordFormat, PartAndDate)
{
    EXPECT_EQ(formatCoordPart(50.123456, false), "50°07.407'");
    EXPECT_EQ(formatCoordPart(-14.5, true), "014°30.000'");
    // Truncated to whole microdegrees first: 0.0000009 is 0.
    EXPECT_EQ(formatCoordPart(0.0000009, false), "00°00.000'");
    EXPECT_EQ(formatDate(20111124), "24.11.2011");
    EXPECT_EQ(formatDate(20000101), "01.01.2000");
    EXPECT_EQ(formatDate(0), "00.00.0000");
    // The pattern of a language: three fields, the rest as it stands.
    EXPECT_EQ(formatDate(20111124, "%m/%d/%Y"), "11/24/2011");
    EXPECT_EQ(formatDate(20000105, "%Y-%m-%d (%x) %"), "2000-01-05 (%x) %");
}

struct ParseCase {
    const char* name;
    const char* text;
    LatLon base;
    std::optional<LatLon> expected;
};

class ParseCoords : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCoords, ReadsOrRefuses)
{
    const auto& c = GetParam();
    const auto got = parseCoords(c.text, c.base);
    ASSERT_EQ(got.has_value(), c.expected.has_value());
    if (got) {
        EXPECT_NEAR(got->lat, c.expected->lat, 1e-9);
        EXPECT_NEAR(got->lon, c.expected->lon, 1e-9);
    }
}

constexpr double kPragueLat = 50 + 7.407 / 60;
constexpr double kPragueLon = 14 + 30.0 / 60;
constexpr LatLon kPrague{kPragueLat, kPragueLon};

INSTANTIATE_TEST_SUITE_P(Geo, ParseCoords, ::testing::Values(
    ParseCase{"Empty", "", kPrague, std::nullopt},
    ParseCase{"OneNumber", "50", {}, std::nullopt},
    ParseCase{"Words", "see the hint", {}, std::nullopt},
    ParseCase{"LettersAndDegreeSigns", "N 50° 07.407 E 014° 30.000", {}, kPrague},
    ParseCase{"PlainNumbers", "50 07.407 14 30.000", {}, kPrague},
    ParseCase{"DegreeLetterD", "50d07.407 14d30.000", {}, kPrague},
    ParseCase{"NoBreakSpaces", "N\u00a050°\u00a007.407 E\u00a0014°\u00a030.000", {}, kPrague},
    ParseCase{"LineBreakAfterApostrophe", "50°07.407'\n014°30.000'", {}, kPrague},
    // The removed line break runs "07.407" and "14" together.
    ParseCase{"LineBreakJoinsNumbers", "50 07.407\n14 30.000", kPrague, LatLon{50 + 7.050 / 60, 14 + 7.40714 / 60}},
    ParseCase{"ThreeNumbersReadAsTwo", "08.500 30.125 99", kPrague, LatLon{50 + 8.5 / 60, 14 + 30.125 / 60}},
    ParseCase{"MinutesFromTheBase", "08.500 30.125", kPrague, LatLon{50 + 8.5 / 60, 14 + 30.125 / 60}},
    ParseCase{"ThousandthsFromTheBase", "123 456", kPrague, LatLon{50 + 7.123 / 60, 14 + 30.456 / 60}},
    ParseCase{"SouthWestByLetters", "S 33°52.050' W 151°12.420'", {}, LatLon{-33.8675, -151.207}},
    ParseCase{"LettersAfterTheNumbers", "33 52.050 S 151 12.420 W", {}, LatLon{-33.8675, -151.207}},
    ParseCase{"WordsAfterTheNumbers", "50 07.407 14 30.000 SW corner", {}, kPrague},
    ParseCase{"NegativeDegrees", "-33 52.050 -151 12.420", {}, LatLon{-33.8675, -151.207}},
    ParseCase{"NegativeZeroDegrees", "-0 30.000 -0 15.000", {}, LatLon{-0.5, -0.25}},
    ParseCase{"SouthernBaseWithoutLetters", "33 52.050 151 12.420", {-33.1, 151.1}, LatLon{-33.8675, 151.207}},
    ParseCase{"NamedNorthBeatsSouthernBase", "N 33 52.050 E 151 12.420", {-33.1, -151.1}, LatLon{33.8675, 151.207}},
    ParseCase{"TwoNumbersKeepSouthernBase", "52.050 12.420", {-33.1, -151.1}, LatLon{-33.8675, -151.207}},
    ParseCase{"WholeNumbersWithSouthernBase", "50 420", {-33.8675, -151.207}, LatLon{-(33 + 52.050 / 60), -(151 + 12.420 / 60)}},
    ParseCase{"NotANumber", "nan 1 2 3", {}, std::nullopt},
    ParseCase{"Infinity", "inf 1 inf 3", {}, std::nullopt}),
    test::RowName());

// Every text the formatter writes reads back to its own point, in all four
// quadrants, at the equator and the date line and next to the poles.
TEST(CoordParser, FormattedTextsReadBack)
{
    const double lats[] = {0.0, 0.0004, 0.5, 12.345678, 45.0, 89.99, 89.9999};
    const double lons[] = {0.0, 0.0007, 0.5, 14.421, 99.99999, 179.9999, 180.0};
    for (double lat : lats)
        for (double lon : lons)
            for (int latSign : {1, -1})
                for (int lonSign : {1, -1}) {
                    const LatLon p{lat * latSign, lon * lonSign};
                    for (CoordStyle style : {CoordStyle::Letters, CoordStyle::GpsStatus}) {
                        const std::string text = formatCoords(p.lat, p.lon, style);
                        const auto back = parseCoords(text);
                        ASSERT_TRUE(back) << text;
                        EXPECT_NEAR(back->lat, p.lat, kThousandthMinuteDeg) << text;
                        EXPECT_NEAR(back->lon, p.lon, kThousandthMinuteDeg) << text;
                    }
                    // The bare style carries no letters: the base of the open
                    // cache, in the same quadrant, supplies the hemispheres.
                    const std::string bare = formatCoords(p.lat, p.lon, CoordStyle::Bare);
                    const auto back = parseCoords(bare, {latSign * 1.0, lonSign * 1.0});
                    ASSERT_TRUE(back) << bare;
                    EXPECT_NEAR(back->lat, p.lat, kThousandthMinuteDeg) << bare;
                    EXPECT_NEAR(back->lon, p.lon, kThousandthMinuteDeg) << bare;
                }
}

struct FieldCase {
    const char* name;
    const char* field;
    const char* hemisphere;
    bool isLongitude;
    double expected;
};

class ReadCoordField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ReadCoordField, ReadsDegreesAndMinutes)
{
    const auto& c = GetParam();
    EXPECT_NEAR(readCoordField(c.field, c.hemisphere, c.isLongitude), c.expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Geo, ReadCoordField, ::testing::Values(
    FieldCase{"North", "50° 07.407'", "N", false, kPragueLat},
    FieldCase{"South", "33° 52.050'", "S", false, -33.8675},
    FieldCase{"West", "151° 12.420'", "W", true, -151.207},
    FieldCase{"WOnALatitudeIsNoHemisphere", "10° 30.000'", "W", false, 10.5},
    FieldCase{"UnfilledMask", "00° 00.000'", "N", false, 0.0},
    FieldCase{"NoDegreeSign", "50 07.407", "N", false, 0.0},
    FieldCase{"NoMinutes", "50° '", "N", false, 0.0},
    FieldCase{"Empty", "", "S", false, 0.0}),
    test::RowName());

TEST(CoordText, IndependentOfTheLocale)
{
    test::GermanLocale german;
    if (!german.active)
        GTEST_SKIP() << "no German locale installed";
    EXPECT_EQ(formatCoords(50.123456, 14.5), "N 50°07.407' E 014°30.000'");
    EXPECT_EQ(formatCoordPart(50.123456, false), "50°07.407'");
    const auto p = parseCoords("N 50° 07.407 E 014° 30.000");
    ASSERT_TRUE(p);
    EXPECT_NEAR(p->lat, kPragueLat, 1e-12);
    EXPECT_NEAR(readCoordField("50° 07.407'", "N", false), kPragueLat, 1e-12);
}

// Arbitrary bytes, long texts and wild values: nothing crashes or reads out
// of bounds (run under the sanitizers), and what reads is finite.
TEST(CoordText, SurvivesArbitraryInput)
{
    std::mt19937 random(424242);
    const std::string alphabet = "0123456789 .-+eE NSWd'\r\n\xC2\xB0\xA0";
    for (int round = 0; round < 5000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 48);
        for (int i = 0; i < length; ++i)
            text += round % 2 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        if (const auto p = parseCoords(text, {-12.5, 130.25})) {
            EXPECT_TRUE(std::isfinite(p->lat) && std::isfinite(p->lon)) << text;
        }
        EXPECT_TRUE(std::isfinite(readCoordField(text, "S", round % 2 == 0))) << text;
    }
    EXPECT_FALSE(parseCoords(std::string(1 << 20, ' ')));
    // A million digits do not fit a double: the number reads as infinite and
    // the text is refused rather than taken as some other point.
    EXPECT_FALSE(parseCoords(std::string(1 << 20, '1') + " 2 3 4"));
    EXPECT_TRUE(parseCoords(std::string(300, '1') + " 2 3 4")); // huge but finite

    const double wild[] = {std::numeric_limits<double>::quiet_NaN(), HUGE_VAL, -HUGE_VAL, 1e308, -1e308, 4e9};
    for (double v : wild) {
        EXPECT_FALSE(formatCoords(v, v).empty());
        EXPECT_FALSE(formatCoordPart(v, true).empty());
    }
    EXPECT_EQ(formatDate(-20111124), "-24.-11.-2011");
    EXPECT_FALSE(formatDate(INT_MIN).empty());
}

} // namespace
} // namespace tw::geo

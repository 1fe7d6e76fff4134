// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/FixTime.h"
#include "gps/NmeaSentence.h"
#include "gps/NmeaWalk.h"

#include "geo/GeoMath.h"

#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

namespace tw::nmea {
namespace {

struct ChecksumRow {
    std::string name;
    std::string line;
    bool accepted;
};

class ChecksumTest : public ::testing::TestWithParam<ChecksumRow> {};

TEST_P(ChecksumTest, AcceptsOnlyMatchingOrAbsentChecksums)
{
    EXPECT_EQ(checksumAcceptable(GetParam().line), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ChecksumTest,
    ::testing::Values(
        ChecksumRow{"Matching", "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53", true},
        ChecksumRow{"MatchingWithLineEnd", "$GPGSA,A,3,01,,,,13,20,22,,,,28,,3.1,2.1,2.0*3A\r\n", true},
        ChecksumRow{"LowerCaseHex", "$GPGSV,3,3,11,25,20,108,00,27,08,281,00,28,17,339,39,,,,*4c", true},
        ChecksumRow{"OneDigitChanged", "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*54", false},
        ChecksumRow{"PositionDigitChanged", "$GPGGA,225308,4528.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53", false},
        ChecksumRow{"CutAfterStar", "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*5", false},
        ChecksumRow{"NotHex", "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*ZZ", false},
        ChecksumRow{"Absent", "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,", true}),
    test::RowName());

struct KindRow {
    std::string name;
    std::string line;
    Kind kind;
};

class KindTest : public ::testing::TestWithParam<KindRow> {};

TEST_P(KindTest, RecognisesTalkersAndTypes)
{
    EXPECT_EQ(kindOf(GetParam().line), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Lines, KindTest,
                         ::testing::Values(KindRow{"GpsGga", "$GPGGA,", Kind::Gga},
                                           KindRow{"MultiSystemGga", "$GNGGA,", Kind::Gga},
                                           KindRow{"GlonassRmc", "$GLRMC,", Kind::Rmc},
                                           KindRow{"GalileoGsa", "$GAGSA,", Kind::Gsa},
                                           KindRow{"BeidouGga", "$BDGGA,", Kind::Gga},
                                           KindRow{"BeidouNewTalker", "$GBRMC,", Kind::Rmc},
                                           KindRow{"GpsGsv", "$GPGSV,", Kind::Gsv},
                                           KindRow{"GlonassGsvIgnored", "$GLGSV,", Kind::Other},
                                           KindRow{"UnknownTalker", "$XXGGA,", Kind::Other},
                                           KindRow{"Proprietary", "$PGRME,9.1,M", Kind::Other},
                                           KindRow{"TooShort", "$GPGG", Kind::Other}),
                         test::RowName());

struct GgaRow {
    std::string name;
    std::string line;
    bool usable;
    double lat, lon, alt;
    int sats;
};

class GgaTest : public ::testing::TestWithParam<GgaRow> {};

TEST_P(GgaTest, ReadsPositionAltitudeAndSatellites)
{
    const GgaRow& row = GetParam();
    const auto gga = parseGga(row.line);
    ASSERT_EQ(gga.has_value(), row.usable);
    if (!gga)
        return;
    EXPECT_NEAR(gga->latitude, row.lat, 1e-9);
    EXPECT_NEAR(gga->longitude, row.lon, 1e-9);
    EXPECT_DOUBLE_EQ(gga->altitudeM, row.alt);
    EXPECT_EQ(gga->satsUsed, row.sats);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, GgaTest,
    ::testing::Values(
        GgaRow{"SouthEast", "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53", true,
               -(45 + 27.458 / 60), 167 + 9.165 / 60, 14.7, 5},
        GgaRow{"NorthWestWithoutGeoid", "$GPGGA,120824.76,3908.8199,N,00023.0832,W,1,06,2.1,00176,M,,,,*39", true,
               39 + 8.8199 / 60, -(23.0832 / 60), 176, 6},
        GgaRow{"NegativeAltitude", "$GPGGA,200004,5504.4343,N,01025.5386,E,2,03,2.5,-9.1,M,43.9,M,,*62", true,
               55 + 4.4343 / 60, 10 + 25.5386 / 60, -9.1, 3},
        GgaRow{"NoFixEmptyFields", "$GPGGA,,,,,,0,00,,,M,,M,,*66", false, 0, 0, 0, 0},
        GgaRow{"NoAltitude", "$GPGGA,120824.76,3908.8199,N,00023.0832,W,1,06,2.1,,M,,,,", false, 0, 0, 0, 0},
        GgaRow{"CutShort", "$GPGGA,012530.562,4131.7353,N,09336.8150,W,0,00,50.", false, 0, 0, 0, 0},
        GgaRow{"NotANumber", "$GPGGA,1,nan,N,inf,E,1,05,2.1,14.7,M,1.1,M,,", false, 0, 0, 0, 0}),
    test::RowName());

TEST(RmcTest, StatusVoidWithPositionReadsButIsNoFix)
{
    const auto rmc = parseRmc("$GPRMC,012519.563,V,4131.7353,N,09336.8150,W,0.00,,050405,,*14");
    ASSERT_TRUE(rmc);
    EXPECT_FALSE(rmc->fix);
    EXPECT_NEAR(rmc->latitude, 41 + 31.7353 / 60, 1e-9);
    EXPECT_NEAR(rmc->longitude, -(93 + 36.815 / 60), 1e-9);
    EXPECT_DOUBLE_EQ(rmc->utcTime, 12519.563);
    EXPECT_EQ(rmc->date, 50405);
}

TEST(RmcTest, ModeLetterDecidesAfterTheStatus)
{
    const std::string head = "$GPRMC,200004,A,5504.4343,N,01025.5386,E,0.0,0.0,260810,1.0,E";
    EXPECT_TRUE(parseRmc(head)->fix) << "before NMEA 2.3: no mode letter";
    for (const char* mode : {",A", ",D", ",F", ",R", ",P"})
        EXPECT_TRUE(parseRmc(head + mode)->fix) << mode;
    for (const char* mode : {",N", ",E", ",M", ",S"})
        EXPECT_FALSE(parseRmc(head + mode)->fix) << mode;
}

TEST(GgaTest, QualityTellsAFixFromAMadeUpPosition)
{
    const auto gga = parseGga("$GPGGA,200004,5504.4343,N,01025.5386,E,2,00,2.5,-9.1,M,43.9,M,,*62");
    ASSERT_TRUE(gga);
    EXPECT_DOUBLE_EQ(gga->utcTime, 200004);
    EXPECT_DOUBLE_EQ(gga->hdop, 2.5);
    EXPECT_TRUE(gga->isFix()) << "no satellites counted, yet a fix";
    for (const int quality : {0, 6, 7, 8, 9}) {
        Gga g = *gga;
        g.quality = quality;
        EXPECT_FALSE(g.isFix()) << quality;
    }
}

TEST(FixTimeTest, DatesAndTimesOfDay)
{
    EXPECT_EQ(utcOf(60601, 225308), 991867988);   // 2001-06-06 22:53:08
    EXPECT_EQ(utcOf(291224, 120000), 1735473600); // 2024-12-29 12:00:00
    EXPECT_EQ(utcOf(290224, 0), 1709164800);      // a leap day
    EXPECT_EQ(utcOf(10180, 0), 315532800);        // 1980
    EXPECT_FALSE(utcOf(290223, 0));
    EXPECT_FALSE(utcOf(321224, 0));
    EXPECT_FALSE(utcOf(11324, 0));
    EXPECT_FALSE(utcOf(10124, 126000));
    EXPECT_EQ(secondOfDay(235960.5), 86399) << "a leap second stays in its day";
    EXPECT_FALSE(secondOfDay(240000));
    EXPECT_FALSE(secondOfDay(-1));
    const std::time_t midnight = 1718409600; // 2024-06-15 00:00:00
    EXPECT_EQ(onNearestDay(86399, midnight + 5), midnight - 1);
    EXPECT_EQ(onNearestDay(5, midnight - 1), midnight + 5);
    EXPECT_EQ(onNearestDay(12 * 3600, midnight + 3600), midnight + 12 * 3600);
}

TEST(RmcTest, EmptyCourseKeepsSpeed)
{
    // A receiver standing still leaves the course empty; its speed still counts.
    const auto rmc = parseRmc("$GNRMC,000941.00,A,4404.13387,N,12118.85628,W,10.0,,100117,,,A*7D");
    ASSERT_TRUE(rmc);
    ASSERT_TRUE(rmc->speedKmh);
    EXPECT_DOUBLE_EQ(*rmc->speedKmh, 18.52);
    EXPECT_FALSE(rmc->courseDeg);
}

TEST(RmcTest, WithoutPositionUnusable)
{
    EXPECT_FALSE(parseRmc("$GPRMC,,V,,,,,,,260810,1.0,E,N*34"));
}

TEST(GsaTest, ReadsUsedPrnsAndDops)
{
    const auto gsa = parseGsa("$GPGSA,A,3,01,,,,13,20,22,,,,28,,3.1,2.1,2.0*3A");
    ASSERT_TRUE(gsa);
    EXPECT_EQ(gsa->fixType, 3);
    EXPECT_EQ(gsa->prns[0], 1);
    EXPECT_EQ(gsa->prns[1], -1);
    EXPECT_EQ(gsa->prns[4], 13);
    EXPECT_EQ(gsa->prns[10], 28);
    EXPECT_EQ(gsa->prns[11], -1);
    EXPECT_DOUBLE_EQ(gsa->pdop.value(), 3.1);
    EXPECT_DOUBLE_EQ(gsa->hdop.value(), 2.1);
    EXPECT_DOUBLE_EQ(gsa->vdop.value(), 2.0);
}

TEST(GsaTest, MissingDopsStayUnknown)
{
    const auto gsa = parseGsa("$GPGSA,A,1,,,,,,,,,,,,,,,*1E");
    ASSERT_TRUE(gsa);
    EXPECT_FALSE(gsa->pdop);
    EXPECT_FALSE(gsa->hdop);
}

TEST(GsvTest, MissingSignalIsMinusOne)
{
    const auto gsv = parseGsv("$GPGSV,4,4,16,30,12,249,17,46,31,150,,48,38,197,,51,37,160,*7C");
    ASSERT_TRUE(gsv);
    EXPECT_EQ(gsv->messageCount, 4);
    EXPECT_EQ(gsv->messageNumber, 4);
    EXPECT_EQ(gsv->satsInView, 16);
    ASSERT_EQ(gsv->recordCount, 4);
    EXPECT_EQ(gsv->records[0].snrDb, 17);
    EXPECT_EQ(gsv->records[1].prn, 46);
    EXPECT_EQ(gsv->records[1].snrDb, -1);
    EXPECT_EQ(gsv->records[3].azimuthDeg, 160);
    EXPECT_EQ(gsv->records[3].snrDb, -1);
}

TEST(GsvTest, RestIsCutAt127Characters)
{
    std::string line = "$GPGSV,9,1,99";
    for (int i = 0; i < 40; ++i)
        line += ",11,22,333,44";
    const auto gsv = parseGsv(line);
    ASSERT_TRUE(gsv);
    // 127 characters end after "11,22,333,": nine whole records and one
    // whose signal was cut off.
    EXPECT_EQ(gsv->recordCount, 10);
    EXPECT_EQ(gsv->records[8].snrDb, 44);
    EXPECT_EQ(gsv->records[9].azimuthDeg, 333);
    EXPECT_EQ(gsv->records[9].snrDb, -1);
}

// The walk the demo replays: whole fixes a second apart, a step of the
// speed each, from the first point to the last, every line checked.
TEST(NmeaWalkTest, StepsOnceASecondAlongThePointsWithValidSentences)
{
    const std::vector<geo::LatLon> points{{48.8108, 14.3152}, {48.8120, 14.3160}, {48.8120, 14.3160}, {48.8101, 14.3190}};
    const std::string log = walkLog(points, 1.5, 1700000000); // 22:13:20 UTC
    std::vector<Rmc> fixes;
    int gga = 0, gsa = 0, gsv = 0;
    std::size_t from = 0;
    for (std::size_t end; (end = log.find("\r\n", from)) != std::string::npos; from = end + 2) {
        const std::string_view line(log.data() + from, end - from);
        ASSERT_NE(line.find('*'), std::string_view::npos) << line;
        ASSERT_TRUE(checksumAcceptable(line)) << line;
        switch (kindOf(line)) {
        case Kind::Rmc: fixes.push_back(parseRmc(line).value()); break;
        case Kind::Gga: gga += parseGga(line).has_value(); break;
        case Kind::Gsa: gsa += parseGsa(line).has_value(); break;
        case Kind::Gsv: gsv += parseGsv(line).has_value(); break;
        case Kind::Other: FAIL() << line;
        }
    }
    EXPECT_EQ(from, log.size());
    const double lengthM = 1000.0 * (geo::distanceKm(points[0], points[1]) + geo::distanceKm(points[2], points[3]));
    ASSERT_NEAR(static_cast<double>(fixes.size()), std::ceil(lengthM / 1.5) + 1, 1.0);
    EXPECT_EQ(gga, static_cast<int>(fixes.size()));
    EXPECT_EQ(gsa, gga);
    EXPECT_EQ(gsv, 2 * gga);
    EXPECT_NEAR(fixes.front().latitude, points.front().lat, 1e-6);
    EXPECT_NEAR(fixes.back().longitude, points.back().lon, 1e-6);
    EXPECT_DOUBLE_EQ(fixes.front().utcTime, 221320.0);
    EXPECT_DOUBLE_EQ(fixes[1].utcTime, 221321.0);
    for (std::size_t i = 1; i + 1 < fixes.size(); ++i) {
        const double stepM = 1000.0 * geo::distanceKm({fixes[i - 1].latitude, fixes[i - 1].longitude},
                                                      {fixes[i].latitude, fixes[i].longitude});
        EXPECT_LE(stepM, 1.5 + 0.05) << i;
        EXPECT_NEAR(*fixes[i].speedKmh, 5.4, 0.05);
    }
}

} // namespace
} // namespace tw::nmea

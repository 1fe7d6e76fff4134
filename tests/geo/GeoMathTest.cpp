// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/GeoMath.h"
#include "tests/TestSupport.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>

namespace tw::geo {
namespace {

constexpr double kPi = std::numbers::pi;

struct AngleCase {
    const char* name;
    double input;
    double expected;
};

class NormalizeAngle : public ::testing::TestWithParam<AngleCase> {};

TEST_P(NormalizeAngle, LandsInOneTurn)
{
    const double r = normalizeAngle(GetParam().input);
    EXPECT_GE(r, 0.0);
    EXPECT_LT(r, 2 * kPi);
    EXPECT_NEAR(r, GetParam().expected, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Geo, NormalizeAngle, ::testing::Values(
    AngleCase{"Zero", 0.0, 0.0},
    AngleCase{"FullTurn", 2 * kPi, 0.0},
    AngleCase{"NegativeFullTurn", -2 * kPi, 0.0},
    AngleCase{"NegativeTwoTurns", -4 * kPi, 0.0},
    AngleCase{"JustBelowZero", -1e-9, 2 * kPi - 1e-9},
    AngleCase{"ThreeAndAHalfTurns", 7 * kPi, kPi},
    AngleCase{"MinusQuarter", -kPi / 2, 1.5 * kPi}),
    test::RowName());

TEST(GeoMath, AngleFromSinCosCoversAllQuadrants)
{
    for (double a = 0.05; a < 2 * kPi; a += 0.1)
        EXPECT_NEAR(angleFromSinCos(std::sin(a), std::cos(a)), a, 1e-9) << a;
    // A cosine pushed beyond 1 by rounding still has an angle.
    EXPECT_EQ(angleFromSinCos(0.0, 1.0 + 1e-15), 0.0);
}

struct BearingCase {
    const char* name;
    LatLon from, to;
    double bearingRad;
};

class Bearing : public ::testing::TestWithParam<BearingCase> {};

TEST_P(Bearing, PointsTheRightWay)
{
    const auto& c = GetParam();
    double km = -1, rad = -1;
    distanceAndBearing(degToRad(c.from.lat), degToRad(c.from.lon), degToRad(c.to.lat), degToRad(c.to.lon), &km, &rad);
    EXPECT_NEAR(rad, c.bearingRad, 1e-3);
    EXPECT_FALSE(std::isnan(km));
}

INSTANTIATE_TEST_SUITE_P(Geo, Bearing, ::testing::Values(
    // Only a point strictly further north gives 0 on the same meridian.
    BearingCase{"IdenticalPoints", {50.1, 14.4}, {50.1, 14.4}, kPi},
    BearingCase{"StraightNorth", {50, 14}, {51, 14}, 0.0},
    BearingCase{"StraightSouth", {50, 14}, {49, 14}, kPi},
    BearingCase{"DueEastOnEquator", {0, 10}, {0, 11}, kPi / 2},
    BearingCase{"DueWestOnEquator", {0, 10}, {0, 9}, 1.5 * kPi},
    BearingCase{"WestAcrossTheDateLine", {0, -179.9}, {0, 179.9}, 1.5 * kPi},
    BearingCase{"EastAcrossTheDateLine", {0, 179.9}, {0, -179.9}, kPi / 2},
    BearingCase{"OverTheNorthPole", {10, 0}, {10, 180}, 0.0},
    BearingCase{"OverTheSouthPole", {-10, 0}, {-10, 180}, kPi}),
    test::RowName());

TEST(GeoMath, IdenticalPointsAreZeroApartNeverNaN)
{
    // Unclamped, rounding puts the cosine above 1 for many of these.
    for (double lat = -89.5; lat < 90; lat += 7.3)
        for (double lon = -179.0; lon < 180; lon += 11.7)
            EXPECT_EQ(distanceKm({lat, lon}, {lat, lon}), 0.0) << lat << ' ' << lon;
}

TEST(GeoMath, OutputsMayBeLeftOut)
{
    double km = 0;
    distanceAndBearing(0, 0, 0, degToRad(1), &km, nullptr);
    EXPECT_NEAR(km, kEarthRadiusKm * kPi / 180, 1e-9);
    double rad = 0;
    distanceAndBearing(0, 0, 0, degToRad(1), nullptr, &rad);
    EXPECT_NEAR(rad, kPi / 2, 1e-12);
}

// Reference geodesics on the WGS-84 ellipsoid, computed by an independent
// implementation; the sphere of radius 6372.795 km stays within 0.7 % of them.
TEST(GeoMath, AgreesWithEllipsoidalGeodesics)
{
    std::ifstream in(test::sourceDir() / "tests/geo/data/geodesic-wgs84.txt");
    ASSERT_TRUE(in) << "reference table missing";
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream s(line);
        s.imbue(std::locale::classic());
        LatLon a, b;
        double km = 0, azimuthDeg = 0;
        s >> a.lat >> a.lon >> b.lat >> b.lon >> km >> azimuthDeg;
        ASSERT_TRUE(s) << line;
        ++rows;
        EXPECT_NEAR(distanceKm(a, b), km, km * 0.007) << line;
        if (km <= 1000) {
            const double diff = std::remainder(bearingDeg(a, b) - azimuthDeg, 360.0);
            EXPECT_LT(std::fabs(diff), 0.5) << line;
        }
    }
    EXPECT_GT(rows, 300);
}

struct ProjectionCase {
    const char* name;
    LatLon from;
    double distanceKm;
    double bearingDeg;
};

class Projection : public ::testing::TestWithParam<ProjectionCase> {};

TEST_P(Projection, ComesBackByDistanceAndBearing)
{
    const auto& c = GetParam();
    const LatLon to = projectPoint(c.from, c.distanceKm, c.bearingDeg);
    EXPECT_NEAR(distanceKm(c.from, to), c.distanceKm, 1e-6 + c.distanceKm * 1e-9);
    // The law of cosines loses digits over short distances; a thousandth of a
    // degree is still far below what a compass shows.
    if (c.distanceKm > 0) {
        EXPECT_NEAR(std::remainder(bearingDeg(c.from, to) - c.bearingDeg, 360.0), 0.0, 1e-3);
    }
}

INSTANTIATE_TEST_SUITE_P(Geo, Projection, ::testing::Values(
    ProjectionCase{"ZeroDistance", {50.087, 14.421}, 0.0, 0.0},
    ProjectionCase{"HundredMetresNorthEast", {50.087, 14.421}, 0.1, 45.0},
    ProjectionCase{"TenKmSouth", {50.087, 14.421}, 10.0, 180.0},
    ProjectionCase{"ThousandKmWest", {-33.8675, 151.207}, 1000.0, 270.0},
    ProjectionCase{"AcrossTheEquator", {1.0, -60.0}, 500.0, 160.0}),
    test::RowName());

TEST(GeoMath, ProjectionAlongTheEquatorMovesTheLongitudeOnly)
{
    const LatLon to = projectPoint({0, 179.5}, kEarthRadiusKm * kPi / 180, 90.0);
    EXPECT_NEAR(to.lat, 0.0, 1e-9);
    EXPECT_NEAR(to.lon, 180.5, 1e-9); // not wrapped into ±180
}

} // namespace
} // namespace tw::geo

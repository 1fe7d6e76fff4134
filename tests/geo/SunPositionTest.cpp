// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/SunPosition.h"

#include <gtest/gtest.h>

namespace tw::geo {
namespace {

// At the March equinox the sun rises due east on the equator and climbs 15°
// an hour; its noon there comes about 7.5 min late.
TEST(SunDirection, EquinoxMorningOnTheEquatorIsDueEast)
{
    const std::time_t nineUtc = 1710925200; // 2024-03-20 09:00:00 UTC
    const SunDirection s = sunDirection(0.0, 0.0, nineUtc);
    EXPECT_NEAR(s.azimuthDeg, 90.0, 1.0);
    EXPECT_NEAR(s.elevationDeg, 43.1, 0.5);
}

// On the June solstice the noon sun in Prague stands in the south at
// 90° − 50.09° + 23.44°.
TEST(SunDirection, SolsticeNoonInPragueIsSouthAndHigh)
{
    const std::time_t noon = utcMomentOnDay(110400.0, 1718841600 + 3600); // 2024-06-20, 11:04 UTC
    EXPECT_EQ(noon, 1718881440);
    const SunDirection s = sunDirection(50.0875, 14.4213, noon);
    EXPECT_NEAR(s.azimuthDeg, 180.0, 1.5);
    EXPECT_NEAR(s.elevationDeg, 63.35, 0.3);
    EXPECT_LT(sunDirection(50.0875, 14.4213, noon + 12 * 3600).elevationDeg, 0.0);
}

} // namespace
} // namespace tw::geo

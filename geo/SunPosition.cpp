// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/SunPosition.h"

#include <cmath>
#include <numbers>

namespace tw::geo {
namespace {

constexpr double kRad = std::numbers::pi / 180.0;

double wrap360(double deg)
{
    deg = std::fmod(deg, 360.0);
    return deg < 0 ? deg + 360.0 : deg;
}

} // namespace

SunDirection sunDirection(double latDeg, double lonDeg, std::time_t utc)
{
    // Days since the epoch J2000.0 (2000-01-01 12:00 UTC).
    const double n = static_cast<double>(utc) / 86400.0 - 10957.5;
    const double meanLongitude = wrap360(280.460 + 0.9856474 * n);
    const double meanAnomaly = wrap360(357.528 + 0.9856003 * n) * kRad;
    const double eclipticLongitude =
        (meanLongitude + 1.915 * std::sin(meanAnomaly) + 0.020 * std::sin(2 * meanAnomaly)) * kRad;
    const double obliquity = (23.439 - 0.0000004 * n) * kRad;
    const double rightAscension =
        std::atan2(std::cos(obliquity) * std::sin(eclipticLongitude), std::cos(eclipticLongitude));
    const double declination = std::asin(std::sin(obliquity) * std::sin(eclipticLongitude));
    // Local sidereal time, then the sun's hour angle (west of the meridian positive).
    const double siderealDeg = wrap360(280.46061837 + 360.98564736629 * n + lonDeg);
    const double hourAngle = siderealDeg * kRad - rightAscension;
    const double lat = latDeg * kRad;

    SunDirection s;
    s.elevationDeg = std::asin(std::sin(lat) * std::sin(declination)
                               + std::cos(lat) * std::cos(declination) * std::cos(hourAngle))
                     / kRad;
    s.azimuthDeg = wrap360(std::atan2(-std::sin(hourAngle) * std::cos(declination),
                                      std::sin(declination) * std::cos(lat)
                                          - std::cos(declination) * std::sin(lat) * std::cos(hourAngle))
                           / kRad);
    return s;
}

std::time_t utcMomentOnDay(double utcTimeOfDay, std::time_t today)
{
    const long long hhmmss = static_cast<long long>(utcTimeOfDay);
    const long long h = hhmmss / 10000, m = hhmmss / 100 % 100, s = hhmmss % 100;
    if (utcTimeOfDay <= 0 || h > 23 || m > 59 || s > 60)
        return today;
    const std::time_t midnight = today - today % 86400;
    return midnight + static_cast<std::time_t>(h * 3600 + m * 60 + s);
}

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/GeoMath.h"

#include <algorithm>
#include <cmath>

namespace tw::geo {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kInvTwoPi = 0.15915494309189535;
constexpr double kPi = 3.141592653589793;
constexpr double kInvEarthRadiusKm = 0.00015691701992610776;

} // namespace

double degToRad(double deg) { return deg * kDegToRad; }
double radToDeg(double rad) { return rad * kRadToDeg; }

double normalizeAngle(double rad)
{
    double result = rad >= 0 ? rad - std::floor(rad * kInvTwoPi) * kTwoPi
                             : rad - std::ceil(rad * kInvTwoPi) * kTwoPi + kTwoPi;
    // A negative whole turn gives exactly 2π, and rounding of the product can
    // leave a hair below 0 or above 2π: bring those back into [0, 2π).
    if (result < 0)
        result += kTwoPi;
    if (result >= kTwoPi)
        result -= kTwoPi;
    return result < 0 || result >= kTwoPi ? 0.0 : result;
}

double angleFromSinCos(double s, double c)
{
    // Rounding can push the cosine a hair beyond ±1, where acos has no value.
    c = std::clamp(c, -1.0, 1.0);
    if (s >= 0)
        return std::acos(c);
    return std::acos(-c) + kPi;
}

void distanceAndBearing(double lat1, double lon1, double lat2, double lon2,
                        double* distanceKmOut, double* bearingRadOut)
{
    const double lambda1 = normalizeAngle(lon1);
    const double lambda2 = normalizeAngle(lon2);
    double delta = std::fabs(lambda2 - lambda1);
    const bool wrapped = delta > kPi;
    if (wrapped)
        delta = kTwoPi - delta;

    // For two identical points the cosine comes out a hair above or below 1:
    // above, acos has no value; below, they would seem 10 cm apart.
    const double cosD = std::cos(delta) * std::cos(lat2) * std::cos(lat1) + std::sin(lat2) * std::sin(lat1);
    const bool samePoint = delta == 0 && lat1 == lat2;
    const double d = samePoint ? 0.0 : std::acos(std::clamp(cosD, -1.0, 1.0));
    if (distanceKmOut)
        *distanceKmOut = d * kEarthRadiusKm;
    if (!bearingRadOut)
        return;

    double bearing = 0;
    if (delta < kAngleEps) {
        bearing = lat2 > lat1 ? 0 : kPi;
    } else if (std::fabs(delta - kPi) < kAngleEps) {
        bearing = std::fabs(d + lat1 + lat2 - kPi) < kAngleEps ? 0 : kPi;
    } else {
        const double s = std::sin(delta) * std::cos(lat2) / std::sin(d);
        const double c = (std::sin(lat2) - std::cos(d) * std::sin(lat1)) / (std::sin(d) * std::cos(lat1));
        const double a = angleFromSinCos(s, c);
        if (!wrapped)
            bearing = lambda2 >= lambda1 ? a : kTwoPi - a;
        else
            bearing = lambda2 < lambda1 ? a : kTwoPi - a;
    }
    *bearingRadOut = bearing;
}

double distanceKm(LatLon from, LatLon to)
{
    double km = 0;
    distanceAndBearing(degToRad(from.lat), degToRad(from.lon), degToRad(to.lat), degToRad(to.lon), &km, nullptr);
    return km;
}

double bearingDeg(LatLon from, LatLon to)
{
    double rad = 0;
    distanceAndBearing(degToRad(from.lat), degToRad(from.lon), degToRad(to.lat), degToRad(to.lon), nullptr, &rad);
    return radToDeg(rad);
}

LatLon projectPoint(LatLon from, double distanceKm, double bearingDeg)
{
    const double phi1 = degToRad(from.lat);
    const double delta = distanceKm * kInvEarthRadiusKm;
    const double theta = degToRad(bearingDeg);

    const double sinPhi2 = std::cos(theta) * std::sin(delta) * std::cos(phi1) + std::cos(delta) * std::sin(phi1);
    const double phi2 = std::asin(std::clamp(sinPhi2, -1.0, 1.0));
    const double q = (std::cos(delta) - std::sin(phi2) * std::sin(phi1)) / (std::cos(phi2) * std::cos(phi1));
    // A single-argument arctangent: the longitude change never leaves ±90°.
    const double dLambda = q != 0 ? std::atan((std::sin(theta) / std::cos(phi2)) * std::sin(delta) / q) : 0.0;
    return {radToDeg(phi2), from.lon + radToDeg(dLambda)};
}

} // namespace tw::geo

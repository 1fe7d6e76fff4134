// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

// Distances and bearings on a sphere. Every screen that compares positions
// goes through these, so that the same constants and rounding apply everywhere.
namespace tw::geo {

inline constexpr double kEarthRadiusKm = 6372.795;
inline constexpr double kDegToRad = 0.017453292519943295;
inline constexpr double kRadToDeg = 57.29577951308232;
inline constexpr double kKmToMi = 0.621371192237334;
inline constexpr double kFtPerMi = 5280.0;
inline constexpr double kMToFt = 3.2808399; // heights
inline constexpr double kAngleEps = 1e-12;  // "same angle" in the bearing, radians

double degToRad(double deg);
double radToDeg(double rad);

/** Any angle in radians brought into [0, 2π). */
double normalizeAngle(double rad);

/** The angle in [0, 2π) whose sine has the sign of s and whose cosine is c. */
double angleFromSinCos(double s, double c);

/** Great-circle distance (km) and initial bearing (radians in [0, 2π), clockwise
 *  from north) from point 1 to point 2; all four inputs in radians. Either
 *  output may be null and is then not written. Identical points are 0 km apart
 *  with bearing π (0 only when the second point lies strictly further north). */
void distanceAndBearing(double lat1Rad, double lon1Rad, double lat2Rad, double lon2Rad,
                        double* distanceKm, double* bearingRad);

/** Convenience forms of distanceAndBearing for positions in degrees. */
double distanceKm(LatLon from, LatLon to);
double bearingDeg(LatLon from, LatLon to);

/** The point distanceKm away from `from` in the direction bearingDeg (degrees
 *  clockwise from north). The longitude change stays within ±90° and the
 *  result longitude is not wrapped into ±180. */
LatLon projectPoint(LatLon from, double distanceKm, double bearingDeg);

} // namespace tw::geo

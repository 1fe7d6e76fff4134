// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace tw {

struct TrackStatistics;

inline constexpr double kKmhToMph = 0.621371192;
inline constexpr double kMetresToFeet = 3.2808399;

// "12 m" (half up) or "39 ft".
std::string formatSpread(double spreadM, bool metricUnits);

// The trip computer's values from the track statistics.
struct TripValues {
    std::time_t elapsedS = 0;
    double averageSpeedKmh = 0;
};
TripValues tripValues(const TrackStatistics& stats, std::time_t now);
// "01:02:03"; hours grow beyond two digits on long trips.
std::string formatElapsed(std::time_t seconds);
// "12.3 km/h" or "7.6 mph".
std::string formatSpeed(double speedKmh, bool metricUnits);
// "UTC" and the receiver's hhmmss as "08:30:15".
std::string formatUtcTime(double utcTime);

// Metres east (x) and north (y) of `origin`, on a plane tangent there; good
// for the few hundred metres the radar and the averaging plot show.
struct LocalOffsetM {
    double x = 0;
    double y = 0;
};
LocalOffsetM localOffsetM(geo::LatLon origin, geo::LatLon point);

// A point on a drawing, pixels from the centre, y downwards.
struct PixelPoint {
    double x = 0;
    double y = 0;
};

// A satellite on the sky plot of radius 50 (scaled pixels): the zenith at the
// centre, the horizon on the outer ring, north up.
PixelPoint skyPlotPosition(int elevationDeg, int azimuthDeg, double scale);
// The radar: 4 pixels per metre around the user's position.
PixelPoint radarPosition(geo::LatLon user, geo::LatLon target, double scale);
// The averaging plot: a sample around the mean at 4 pixels per metre;
// nothing when it lies beyond 50 pixels.
std::optional<PixelPoint> averagingPlotPosition(geo::LatLon mean, geo::LatLon sample, double scale);

// Radar instead of compass: receiving, the option on, and the target at most
// 30 m away.
bool showRadar(bool receiving, bool useRadar, double distanceM);

// The sun's direction on the compass (degrees clockwise from the top): from
// the UTC time of day and the longitude, minus the course when course-up.
double sunAngleDeg(double utcTime, double longitude, bool northUp, double courseDeg);
// Where the target arrow points on the compass.
double targetArrowDeg(double bearingDeg, bool northUp, double courseDeg);

} // namespace tw

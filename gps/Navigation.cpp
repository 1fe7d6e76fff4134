// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/Navigation.h"

#include "geo/GeoMath.h"
#include "gps/CTrackLogger.h"
#include "platform/Numbers.h"

#include <cmath>

namespace tw {
namespace {

constexpr double kPixelsPerMetre = 4.0;
constexpr double kSkyRadius = 50.0;
constexpr double kAveragingPlotRadius = 50.0;
constexpr double kRadarLimitM = 30.0;

std::string twoDigits(long long v)
{
    return (v < 10 ? "0" : "") + std::to_string(v);
}

} // namespace

std::string formatSpread(double spreadM, bool metricUnits)
{
    if (metricUnits)
        return std::to_string(static_cast<long long>(spreadM + 0.5)) + " m";
    return std::to_string(static_cast<long long>(spreadM * kMetresToFeet + 0.5)) + " ft";
}

TripValues tripValues(const TrackStatistics& stats, std::time_t now)
{
    TripValues v;
    v.elapsedS = (stats.startTime != 0 ? now - stats.startTime : 0) + stats.duration;
    if (stats.startTime != 0 && v.elapsedS > 0)
        v.averageSpeedKmh = stats.totalDistanceKm / (static_cast<double>(v.elapsedS) / 3600.0);
    return v;
}

std::string formatElapsed(std::time_t t)
{
    if (t < 0)
        t = 0;
    return twoDigits(t / 3600) + ":" + twoDigits(t / 60 % 60) + ":" + twoDigits(t % 60);
}

std::string formatSpeed(double speedKmh, bool metricUnits)
{
    return metricUnits ? num::formatFixed(speedKmh, 1) + " km/h" : num::formatFixed(speedKmh * kKmhToMph, 1) + " mph";
}

std::string formatUtcTime(double utcTime)
{
    const long long hhmmss = static_cast<long long>(utcTime);
    return "UTC\r\n" + twoDigits(hhmmss / 10000 % 100) + ":" + twoDigits(hhmmss / 100 % 100) + ":"
           + twoDigits(hhmmss % 100);
}

LocalOffsetM localOffsetM(geo::LatLon origin, geo::LatLon point)
{
    const double metresPerDeg = geo::kEarthRadiusKm * 1000.0 * geo::kDegToRad;
    return {(point.lon - origin.lon) * metresPerDeg * std::cos(origin.lat * geo::kDegToRad),
            (point.lat - origin.lat) * metresPerDeg};
}

PixelPoint skyPlotPosition(int elevationDeg, int azimuthDeg, double scale)
{
    const double r = kSkyRadius * scale * std::cos(elevationDeg * geo::kDegToRad);
    const double angle = (90.0 - azimuthDeg) * geo::kDegToRad; // screen angle, counter-clockwise from east
    return {r * std::cos(angle), -r * std::sin(angle)};
}

PixelPoint radarPosition(geo::LatLon user, geo::LatLon target, double scale)
{
    const LocalOffsetM o = localOffsetM(user, target);
    return {o.x * kPixelsPerMetre * scale, -o.y * kPixelsPerMetre * scale};
}

std::optional<PixelPoint> averagingPlotPosition(geo::LatLon mean, geo::LatLon sample, double scale)
{
    const LocalOffsetM o = localOffsetM(mean, sample);
    const PixelPoint p{o.x * kPixelsPerMetre * scale, -o.y * kPixelsPerMetre * scale};
    if (std::hypot(p.x, p.y) > kAveragingPlotRadius * scale)
        return std::nullopt;
    return p;
}

bool showRadar(bool receiving, bool useRadar, double distanceM)
{
    return receiving && useRadar && distanceM <= kRadarLimitM;
}

double sunAngleDeg(double utcTime, double longitude, bool northUp, double courseDeg)
{
    const long long hhmmss = static_cast<long long>(utcTime);
    const double h = static_cast<double>(hhmmss / 10000) + static_cast<double>(hhmmss % 10000) / 6000.0;
    double angle = h / 24.0 * 360.0 + longitude;
    if (!northUp)
        angle -= courseDeg;
    return angle;
}

double targetArrowDeg(double bearingDeg, bool northUp, double courseDeg)
{
    return northUp ? bearingDeg : bearingDeg - courseDeg;
}

} // namespace tw

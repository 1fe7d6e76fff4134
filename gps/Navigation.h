// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class SoundPlayer;
struct TrackStatistics;

inline constexpr double kKmhToMph = 0.621371192;
inline constexpr double kMetresToFeet = 3.2808399;

// The sound that plays once when the user comes near the navigation target.
// check() runs on the receiver's thread (from the track logger); the window
// thread sets the target and the settings.
class ProximityAlert {
public:
    struct Config {
        bool on = true;            // AlertOn
        int distance = 30;         // AlertDist: metres, or feet without metric units
        bool metricUnits = true;
        std::string sound;         // AlertSound: path of the sound file
        geo::LatLon home;          // measured from while the receiver has no latitude
    };

    void setConfig(Config config);
    Config config() const;
    // The cache or waypoint navigated to; nothing when none is chosen.
    void setTarget(std::optional<geo::LatLon> target);
    void setSoundPlayer(SoundPlayer* player);
    // Switching the receiver on arms the alert again.
    void clearFired();
    bool fired() const;

    // Plays the sound when the position comes closer than the distance, and
    // arms again only beyond 1.8 times the distance, so it sounds once per
    // approach. Returns true when it played.
    bool check(geo::LatLon position);

private:
    mutable std::mutex m_mutex;
    Config m_config;
    std::optional<geo::LatLon> m_target;
    SoundPlayer* m_player = nullptr;
    bool m_fired = false;
};

// Averages positions taken once a second to find a cache's place more
// precisely than one fix gives it. Window thread only.
class PositionAveraging {
public:
    void start();
    void stop() { m_active = false; }
    bool active() const { return m_active; }
    // One sample; ignored unless active and the receiver has satellites in use.
    void sample(geo::LatLon position, int satsUsed);

    int count() const { return static_cast<int>(m_samples.size()); }
    const std::vector<geo::LatLon>& samples() const { return m_samples; }
    // (0, 0) while no sample was taken.
    geo::LatLon mean() const;
    // The standard deviation of the samples' distances from the mean, metres.
    double spreadM() const;

private:
    bool m_active = false;
    double m_sumLat = 0;
    double m_sumLon = 0;
    std::vector<geo::LatLon> m_samples;
};

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

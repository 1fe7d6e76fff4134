// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <mutex>
#include <optional>
#include <string>

namespace tw {

class SoundPlayer;

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

} // namespace tw

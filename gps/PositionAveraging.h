// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <vector>

namespace tw {

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

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>

namespace tw::geo {

// Where the sun stands seen from a place on the ground.
struct SunDirection {
    double azimuthDeg = 0;   // clockwise from true north, [0, 360)
    double elevationDeg = 0; // above the horizon; negative at night
};

// The sun's direction at a UTC moment, to a few tenths of a degree for the
// years around 2000 (a low-precision solar ephemeris; enough for a compass
// marker).
SunDirection sunDirection(double latDeg, double lonDeg, std::time_t utc);

// The UTC moment of a receiver's time of day (hhmmss.ss) on the UTC date of
// `today`; `today` itself when the time of day is not a valid one.
std::time_t utcMomentOnDay(double utcTimeOfDay, std::time_t today);

} // namespace tw::geo

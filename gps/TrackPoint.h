// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>

namespace tw {

// One recorded position of a track.
struct TrackPoint {
    double lat = 0;  // degrees
    double lon = 0;  // degrees
    double alt = 0;  // metres above mean sea level
    double hdop = 0;
    std::time_t time = 0; // seconds since 1970 (UTC)
};

// The stored form of a time: the local date as YYYYMMDD and the local time
// of day as HHMMSS (the TZ of the running program decides).
struct StoredTime {
    int date = 0;
    int time = 0;
};

StoredTime toStoredTime(std::time_t t);
// Back to seconds since 1970, daylight saving decided by the system; 0 when
// the fields are out of range (year < 1, month 1–12, day 1–31, hour < 24,
// minute < 60, second < 60).
std::time_t fromStoredTime(int date, int time);

} // namespace tw

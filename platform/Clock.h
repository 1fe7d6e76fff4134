// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>

namespace tw {

// Local time from the C library, so that TZ decides (tests set it).
struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

LocalTime localTime(std::time_t t);
// Today's local date as YYYYMMDD.
int todayYmd();
// A local date as YYYYMMDD.
int ymdOf(std::time_t t);

} // namespace tw

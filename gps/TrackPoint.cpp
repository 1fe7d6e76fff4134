// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/TrackPoint.h"

#include "platform/Clock.h"

namespace tw {

StoredTime toStoredTime(std::time_t t)
{
    const LocalTime l = localTime(t);
    return {(l.year * 100 + l.month) * 100 + l.day, (l.hour * 100 + l.minute) * 100 + l.second};
}

std::time_t fromStoredTime(int date, int time)
{
    const int year = date / 10000, month = date / 100 % 100, day = date % 100;
    const int hour = time / 10000, minute = time / 100 % 100, second = time % 100;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || time < 0 || hour >= 24 || minute >= 60
        || second >= 60)
        return 0;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    return t == static_cast<std::time_t>(-1) ? 0 : t;
}

} // namespace tw

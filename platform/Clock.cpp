// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Clock.h"

namespace tw {

LocalTime localTime(std::time_t t)
{
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

int ymdOf(std::time_t t)
{
    const LocalTime lt = localTime(t);
    return lt.year * 10000 + lt.month * 100 + lt.day;
}

int todayYmd()
{
    return ymdOf(std::time(nullptr));
}

} // namespace tw

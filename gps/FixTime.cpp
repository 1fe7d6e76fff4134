// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/FixTime.h"

#include <algorithm>
#include <cmath>

namespace tw::nmea {
namespace {

constexpr std::time_t kDayS = 86400;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
long long daysFromCivil(int year, int month, int day)
{
    year -= month <= 2 ? 1 : 0;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

} // namespace

std::optional<int> secondOfDay(double hhmmss)
{
    if (!std::isfinite(hhmmss) || hhmmss < 0 || hhmmss >= 240000)
        return std::nullopt;
    const int whole = static_cast<int>(hhmmss);
    const int hour = whole / 10000, minute = whole / 100 % 100, second = whole % 100;
    // 60: a leap second, as some receivers send it.
    if (minute > 59 || second > 60)
        return std::nullopt;
    return std::min(hour * 3600 + minute * 60 + second, static_cast<int>(kDayS) - 1);
}

std::optional<std::time_t> utcOf(int ddmmyy, double hhmmss)
{
    const auto sod = secondOfDay(hhmmss);
    const int day = ddmmyy / 10000, month = ddmmyy / 100 % 100, yy = ddmmyy % 100;
    if (!sod || ddmmyy < 0 || month < 1 || month > 12 || day < 1)
        return std::nullopt;
    const int year = yy >= 80 ? 1900 + yy : 2000 + yy;
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDays[month - 1] + (month == 2 && isLeap(year) ? 1 : 0))
        return std::nullopt;
    return static_cast<std::time_t>(daysFromCivil(year, month, day)) * kDayS + *sod;
}

std::time_t onNearestDay(int secondOfDay, std::time_t near)
{
    const std::time_t dayStart = near - ((near % kDayS) + kDayS) % kDayS;
    std::time_t t = dayStart + secondOfDay;
    if (t - near > kDayS / 2)
        t -= kDayS;
    else if (near - t > kDayS / 2)
        t += kDayS;
    return t;
}

} // namespace tw::nmea

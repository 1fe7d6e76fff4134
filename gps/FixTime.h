// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <optional>

// The time of a fix as the receiver tells it: RMC gives date and time, GGA
// only the time of day.
namespace tw::nmea {

// hhmmss.ss as NMEA sends it to whole seconds of the UTC day (0–86399);
// empty when it is no time of day.
std::optional<int> secondOfDay(double hhmmss);

// An RMC date (ddmmyy; years 80–99 are 1980–1999, the rest 2000–2079) and
// time to seconds since 1970 (UTC); empty when either is no date or time.
std::optional<std::time_t> utcOf(int ddmmyy, double hhmmss);

// The moment at that second of the UTC day nearest to `near` (at most 12 h
// away): a GGA time of 00:00:05 after an RMC of 23:59:59 is the next day's.
std::time_t onNearestDay(int secondOfDay, std::time_t near);

} // namespace tw::nmea

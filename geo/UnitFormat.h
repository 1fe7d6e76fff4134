// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Distance and height texts in the user's units. `metricUnits` is the user's
// setting: kilometres and metres when true, miles and feet when false.
namespace tw::geo {

/** A distance in km as shown in lists: "  123 km", "12.3 km", "1.23 km", and,
 *  when small units are allowed and it is below 1 km (1 mi), " 123 m" or
 *  "12.3 m" (" 123 ft" or "12.3 ft"). */
std::string formatDistance(double distanceKm, bool metricUnits, bool allowSmallUnits);

/** Track and trip lengths: formatDistance with small units always allowed. */
std::string formatLength(double distanceKm, bool metricUnits);

/** A height in metres rounded half up and truncated toward zero: "312 m",
 *  "1024 ft", or the bare number without the unit; −3.7 m gives "-3 m". */
std::string formatHeight(double altitudeM, bool withUnit, bool metricUnits);

} // namespace tw::geo

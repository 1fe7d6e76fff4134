// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <optional>
#include <string>
#include <string_view>

// Coordinates as the user types and reads them: in decimal degrees, in
// degrees and minutes, or in degrees, minutes and seconds. Each value has a
// field of fixed layout (its digits typed over a mask of zeros) and a
// hemisphere chosen beside it, so a field never holds a sign or a letter.
namespace tw::geo {

/** The numbers are the stored values of the setting CoordStyle. */
enum class CoordEntryStyle : int {
    Degrees = 0,          // 50.12346°        014.50000°
    DegreesMinutes = 1,   // 50° 07.407'      014° 30.000'
    DegreesMinSec = 2,    // 50° 07' 24.4"    014° 30' 00.0"
};

/** The style of a stored setting value; unknown values read as degrees and minutes. */
CoordEntryStyle coordEntryStyle(int settingValue);

/** The field text of one value, without sign or letter, rounded to the last
 *  digit the field shows (0.00001°, 0.001' or 0.1"), carrying into the
 *  minutes and degrees: 59.9999' shows as 1° more and "00.000'". */
std::string formatCoordField(double valueDeg, bool isLongitude, CoordEntryStyle style);

/** A field read back: degrees from the numbers of the layout, negated when
 *  `negative` (S or W is chosen). Nothing when the field does not hold the
 *  style's numbers, minutes or seconds are 60 or more, or the value lies
 *  beyond 90° (latitude) or 180° (longitude). */
std::optional<double> readCoordFieldIn(std::string_view field, bool negative, bool isLongitude,
                                       CoordEntryStyle style);

/** Both values with their hemisphere letters in the style:
 *  "N 50.12346° E 014.50000°", "N 50°07.407' E 014°30.000'" (as formatCoords
 *  writes them) or "N 50°07'24.4\" E 014°30'00.0\"". */
std::string formatCoordsIn(LatLon point, CoordEntryStyle style);

/** Reads pasted coordinates in any of the styles above and whatever
 *  parseCoords reads: six numbers are degrees, minutes and seconds; two
 *  numbers are decimal degrees when each carries a degree sign or a comma
 *  separates them ("50.12346, 14.5"), else they are read by parseCoords
 *  with `base`. Nothing when the text is no position on the globe. */
std::optional<LatLon> readAnyCoords(std::string_view text, LatLon base = {});

/** The point `metres` away in the direction `bearingDeg` (0 to 360), with the
 *  longitude brought back into -180..180 so that the fields can show it. */
LatLon projectForEntry(LatLon from, double metres, double bearingDeg);

} // namespace tw::geo

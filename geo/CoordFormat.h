// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tw::geo {

/** The three ways coordinates are written; the numbers are the styles' ids. */
enum class CoordStyle : int {
    Letters = 0,  // N 50°07.407' E 014°30.000'  clipboard, cache headers and lists
    Bare = 1,     // 50°07.407 014°30.000        the "Wpt " entry built from selected text
    GpsStatus = 2 // N 50°07.407 E 014°30.000    GPS status text
};

/** Degrees and decimal minutes of a position given in decimal degrees. The
 *  minutes are printed to 0.001' without carrying into the degrees, so
 *  59.9996' shows as "60.000". Degree sign and texts are UTF-8. */
std::string formatCoords(double latDeg, double lonDeg, CoordStyle style = CoordStyle::Letters);

/** One value for a masked field: "50°07.407'" or "014°30.000'", truncated to
 *  whole microdegrees first; no sign or letter (the caller shows the
 *  hemisphere separately). */
std::string formatCoordPart(double valueDeg, bool isLongitude);

/** A date held as the integer YYYYMMDD written "DD.MM.YYYY". */
std::string formatDate(int yyyymmdd);

/** The date in the language's pattern: %d the day and %m the month (two
 *  digits), %Y the year (four); every other character as it stands. */
std::string formatDate(int yyyymmdd, std::string_view pattern);

} // namespace tw::geo

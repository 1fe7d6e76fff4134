// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/CoordFormat.h"

#include "geo/FixedFormat.h"

#include <cmath>

namespace tw::geo {
namespace {

constexpr const char* kDegreeSign = "\xC2\xB0";

// "%0Wd°%06.3f" of |value|: whole degrees, then minutes; the degrees are kept
// in a double so that a wild value cannot overflow an int.
std::string degreesMinutes(double value, int degreeWidth)
{
    const double magnitude = std::fabs(value);
    const double degrees = std::trunc(magnitude);
    const double minutes = (magnitude - degrees) * 60.0;
    return fixedText(degrees, 0, degreeWidth, '0') + kDegreeSign + fixedText(minutes, 3, 6, '0');
}

} // namespace

std::string formatCoords(double latDeg, double lonDeg, CoordStyle style)
{
    const char latLetter = latDeg < 0 ? 'S' : 'N';
    const char lonLetter = lonDeg < 0 ? 'W' : 'E';
    const std::string lat = degreesMinutes(latDeg, 2);
    const std::string lon = degreesMinutes(lonDeg, 3);
    switch (style) {
    case CoordStyle::Bare:
        return lat + ' ' + lon;
    case CoordStyle::GpsStatus:
        return std::string{latLetter, ' '} + lat + ' ' + lonLetter + ' ' + lon;
    case CoordStyle::Letters:
        break;
    }
    return std::string{latLetter, ' '} + lat + "' " + lonLetter + ' ' + lon + '\'';
}

std::string formatCoordPart(double valueDeg, bool isLongitude)
{
    const double micro = std::trunc(valueDeg * 1000000.0) * 0.000001;
    return degreesMinutes(micro, isLongitude ? 3 : 2) + '\'';
}

std::string formatDate(int yyyymmdd)
{
    return formatDate(yyyymmdd, "%d.%m.%Y");
}

std::string formatDate(int yyyymmdd, std::string_view pattern)
{
    const int year = yyyymmdd / 10000;
    const int month = (yyyymmdd - year * 10000) / 100;
    const int day = yyyymmdd % 100;
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && (next == 'd' || next == 'm' || next == 'Y')) {
            out += next == 'd' ? zeroPaddedInt(day, 2) : next == 'm' ? zeroPaddedInt(month, 2) : zeroPaddedInt(year, 4);
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/CoordEntry.h"

#include "geo/CoordFormat.h"
#include "geo/CoordParser.h"
#include "geo/FixedFormat.h"
#include "geo/GeoMath.h"
#include "platform/Numbers.h"

#include <cmath>
#include <vector>

namespace tw::geo {
namespace {

constexpr std::string_view kDegreeSign = "\xC2\xB0";

double limitOf(bool isLongitude) { return isLongitude ? 180.0 : 90.0; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A number of the text and what follows it.
struct Token {
    double value = 0.0;
    bool degreeSignAfter = false;
    bool commaAfter = false;
};

// The numbers of a text, each a run of digits with at most one point; a
// minus sign counts when it stands right before the digits at the start of
// a word. Nothing when a run does not read.
std::optional<std::vector<Token>> numbersOf(std::string_view text)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < text.size()) {
        if (!isDigit(text[i]) && !(text[i] == '.' && i + 1 < text.size() && isDigit(text[i + 1]))) {
            ++i;
            continue;
        }
        std::size_t start = i;
        if (start > 0 && text[start - 1] == '-' && (start == 1 || text[start - 2] == ' '))
            --start;
        while (i < text.size() && (isDigit(text[i]) || text[i] == '.'))
            ++i;
        const auto value = num::parseDouble(text.substr(start, i - start));
        if (!value)
            return std::nullopt;
        Token token{*value};
        std::size_t next = i;
        while (next < text.size() && text[next] == ' ')
            ++next;
        const std::string_view rest = text.substr(next);
        token.degreeSignAfter = rest.substr(0, kDegreeSign.size()) == kDegreeSign || rest.substr(0, 1) == "d";
        token.commaAfter = rest.substr(0, 1) == ",";
        tokens.push_back(token);
    }
    return tokens;
}

// Degrees, minutes and seconds of one value, signed by a negative degree or
// the hemisphere the text names.
std::optional<double> fromParts(double degrees, double minutes, double seconds, int named, bool isLongitude)
{
    if (minutes < 0 || minutes >= 60 || seconds < 0 || seconds >= 60)
        return std::nullopt;
    const int sign = std::signbit(degrees) || named < 0 ? -1 : 1;
    const double value = std::fabs(degrees) + minutes / 60.0 + seconds / 3600.0;
    if (!(value <= limitOf(isLongitude)))
        return std::nullopt;
    return sign * value;
}

bool onGlobe(LatLon p) { return std::fabs(p.lat) <= 90.0 && std::fabs(p.lon) <= 180.0; }

} // namespace

CoordEntryStyle coordEntryStyle(int settingValue)
{
    switch (settingValue) {
    case 0: return CoordEntryStyle::Degrees;
    case 2: return CoordEntryStyle::DegreesMinSec;
    default: return CoordEntryStyle::DegreesMinutes;
    }
}

std::string formatCoordField(double valueDeg, bool isLongitude, CoordEntryStyle style)
{
    const double limit = limitOf(isLongitude);
    const double magnitude = std::isfinite(valueDeg) ? std::fmin(std::fabs(valueDeg), limit) : 0.0;
    const int degreeWidth = isLongitude ? 3 : 2;
    // Whole units of the last digit shown, so that rounding carries upwards.
    switch (style) {
    case CoordEntryStyle::Degrees: {
        const long long units = std::llround(magnitude * 100000.0);
        return zeroPaddedInt(units / 100000, degreeWidth) + '.' + zeroPaddedInt(units % 100000, 5) +
               std::string(kDegreeSign);
    }
    case CoordEntryStyle::DegreesMinSec: {
        const long long tenths = std::llround(magnitude * 36000.0);
        const long long rest = tenths % 36000;
        return zeroPaddedInt(tenths / 36000, degreeWidth) + std::string(kDegreeSign) + ' ' +
               zeroPaddedInt(rest / 600, 2) + "' " + zeroPaddedInt(rest % 600 / 10, 2) + '.' +
               zeroPaddedInt(rest % 10, 1) + '"';
    }
    case CoordEntryStyle::DegreesMinutes:
        break;
    }
    const long long thousandths = std::llround(magnitude * 60000.0);
    const long long rest = thousandths % 60000;
    return zeroPaddedInt(thousandths / 60000, degreeWidth) + std::string(kDegreeSign) + ' ' +
           zeroPaddedInt(rest / 1000, 2) + '.' + zeroPaddedInt(rest % 1000, 3) + '\'';
}

std::optional<double> readCoordFieldIn(std::string_view field, bool negative, bool isLongitude,
                                       CoordEntryStyle style)
{
    const auto numbers = numbersOf(field);
    const std::size_t wanted = style == CoordEntryStyle::Degrees ? 1 : (style == CoordEntryStyle::DegreesMinutes ? 2 : 3);
    if (!numbers || numbers->size() != wanted)
        return std::nullopt;
    const auto& n = *numbers;
    for (const Token& t : n)
        if (t.value < 0)
            return std::nullopt;
    // Only the last number may have a fraction.
    for (std::size_t i = 0; i + 1 < n.size(); ++i)
        if (n[i].value != std::trunc(n[i].value))
            return std::nullopt;
    const int named = negative ? -1 : 1;
    switch (style) {
    case CoordEntryStyle::Degrees: return fromParts(n[0].value, 0, 0, named, isLongitude);
    case CoordEntryStyle::DegreesMinutes: return fromParts(n[0].value, n[1].value, 0, named, isLongitude);
    case CoordEntryStyle::DegreesMinSec: return fromParts(n[0].value, n[1].value, n[2].value, named, isLongitude);
    }
    return std::nullopt;
}

std::string formatCoordsIn(LatLon point, CoordEntryStyle style)
{
    if (style == CoordEntryStyle::DegreesMinutes)
        return formatCoords(point.lat, point.lon, CoordStyle::Letters);
    auto part = [style](double value, bool isLongitude) {
        std::string field = formatCoordField(value, isLongitude, style);
        std::erase(field, ' ');
        return field;
    };
    return std::string{point.lat < 0 ? 'S' : 'N', ' '} + part(point.lat, false) + ' ' + (point.lon < 0 ? 'W' : 'E') +
           ' ' + part(point.lon, true);
}

std::optional<LatLon> readAnyCoords(std::string_view text, LatLon base)
{
    const auto numbers = numbersOf(text);
    if (!numbers)
        return std::nullopt;
    const auto& n = *numbers;
    const int latNamed = namedHemisphere(text, false);
    const int lonNamed = namedHemisphere(text, true);
    if (n.size() == 6) {
        for (std::size_t i : {0u, 1u, 3u, 4u})
            if (n[i].value != std::trunc(n[i].value))
                return std::nullopt;
        const auto lat = fromParts(n[0].value, n[1].value, n[2].value, latNamed, false);
        const auto lon = fromParts(n[3].value, n[4].value, n[5].value, lonNamed, true);
        if (!lat || !lon)
            return std::nullopt;
        return LatLon{*lat, *lon};
    }
    if (n.size() == 2 && ((n[0].degreeSignAfter && n[1].degreeSignAfter) || n[0].commaAfter)) {
        const auto lat = fromParts(n[0].value, 0, 0, latNamed, false);
        const auto lon = fromParts(n[1].value, 0, 0, lonNamed, true);
        if (!lat || !lon)
            return std::nullopt;
        return LatLon{*lat, *lon};
    }
    const auto parsed = parseCoords(text, base);
    if (!parsed || !onGlobe(*parsed))
        return std::nullopt;
    return parsed;
}

LatLon projectForEntry(LatLon from, double metres, double bearingDeg)
{
    LatLon to = projectPoint(from, metres * 0.001, bearingDeg);
    to.lon = std::remainder(to.lon, 360.0);
    return to;
}

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/CoordParser.h"

#include "platform/Numbers.h"
#include "platform/Text.h"

#include <array>
#include <cmath>

namespace tw::geo {
namespace {

constexpr double kOneSixtieth = 0.016666666666666666;

// Up to `wanted` numbers, each after optional blanks, the way a scanf format
// "%lf %lf ..." reads them; returns how many were read.
int scanNumbers(std::string_view text, std::array<double, 4>& out, int wanted)
{
    int count = 0;
    while (count < wanted) {
        std::size_t used = 0;
        const auto value = num::leadingDouble(text, &used);
        if (!value)
            break;
        out[static_cast<std::size_t>(count++)] = *value;
        text.remove_prefix(used);
    }
    return count;
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int signOf(int named, double base)
{
    if (named != 0)
        return named;
    return base < 0 ? -1 : 1;
}

std::string normalised(std::string_view text)
{
    std::string s(text);
    for (const char* letter : {"N", "S", "W", "E", "\r\n", "\n"})
        s = text::replaceAll(s, letter, "");
    for (const char* blank : {"\xC2\xB0", "d", "\xC2\xA0", "'"})
        s = text::replaceAll(s, blank, " ");
    return s;
}

// Four numbers: degrees and minutes each. Negative degrees make the value
// negative as a whole, not just its degrees.
double fromDegreesMinutes(double degrees, double minutes, int sign)
{
    if (std::signbit(degrees))
        sign = -1;
    return sign * (std::fabs(degrees) + minutes * kOneSixtieth);
}

// Two numbers: the minutes of a value whose whole degrees (and, for a whole
// number, whole minutes) come from the base.
double fromMinutesOnly(double number, double base, int sign)
{
    const double baseMagnitude = std::fabs(base);
    const double degrees = std::trunc(baseMagnitude);
    double minutes = number;
    if (number == std::trunc(number))
        minutes = std::trunc((baseMagnitude - degrees) * 60.0) + number * 0.001;
    return sign * (degrees + minutes * kOneSixtieth);
}

} // namespace

int namedHemisphere(std::string_view text, bool isLongitude)
{
    const char negative = isLongitude ? 'W' : 'S';
    const char positive = isLongitude ? 'E' : 'N';
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != negative && c != positive)
            continue;
        // Selected text may go on with words ("... SW corner") after the numbers.
        const bool alone = (i == 0 || !isLetter(text[i - 1])) && (i + 1 == text.size() || !isLetter(text[i + 1]));
        if (alone)
            return c == negative ? -1 : 1;
    }
    return 0;
}

std::optional<LatLon> parseCoords(std::string_view text, LatLon base)
{
    if (text.empty())
        return std::nullopt;
    const int latSign = signOf(namedHemisphere(text, false), base.lat);
    const int lonSign = signOf(namedHemisphere(text, true), base.lon);

    const std::string copy = normalised(text);
    std::array<double, 4> n{};
    const int count = scanNumbers(copy, n, 4);
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(n[static_cast<std::size_t>(i)]))
            return std::nullopt;

    LatLon result;
    if (count == 4) {
        result = {fromDegreesMinutes(n[0], n[1], latSign), fromDegreesMinutes(n[2], n[3], lonSign)};
    } else if (count >= 2) {
        result = {fromMinutesOnly(n[0], base.lat, latSign), fromMinutesOnly(n[1], base.lon, lonSign)};
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(result.lat) || !std::isfinite(result.lon))
        return std::nullopt;
    return result;
}

double readCoordField(std::string_view fieldText, std::string_view hemisphereText, bool isLongitude)
{
    // "%d° %lf'": whole degrees, the degree sign right after them, then minutes.
    std::string_view rest = fieldText;
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    std::size_t digitsEnd = (!rest.empty() && (rest.front() == '-' || rest.front() == '+')) ? 1 : 0;
    while (digitsEnd < rest.size() && rest[digitsEnd] >= '0' && rest[digitsEnd] <= '9')
        ++digitsEnd;
    const auto degrees = num::leadingInt(rest.substr(0, digitsEnd));
    if (!degrees)
        return 0.0;
    rest.remove_prefix(digitsEnd);
    constexpr std::string_view kDegreeSign = "\xC2\xB0";
    if (rest.substr(0, kDegreeSign.size()) != kDegreeSign)
        return 0.0;
    rest.remove_prefix(kDegreeSign.size());
    const auto minutes = num::leadingDouble(rest);
    if (!minutes || !std::isfinite(*minutes))
        return 0.0;
    const double value = *degrees + *minutes * kOneSixtieth;
    const std::string_view negative = isLongitude ? "W" : "S";
    return hemisphereText == negative ? -value : value;
}

} // namespace tw::geo

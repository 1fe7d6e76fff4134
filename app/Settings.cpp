// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Settings.h"

#include <cmath>
#include <limits>

namespace tw {

std::string transformSecret(const std::string& text)
{
    std::string out = text;
    bool inBrackets = false;
    for (char& c : out) {
        if (inBrackets) {
            inBrackets = c != ']';
            continue;
        }
        if (c == '[')
            inBrackets = true;
        else if ((c >= 'A' && c <= 'M') || (c >= 'a' && c <= 'm'))
            c = static_cast<char>(c + 13);
        else if ((c >= 'N' && c <= 'Z') || (c >= 'n' && c <= 'z'))
            c = static_cast<char>(c - 13);
    }
    return out;
}

std::int32_t degreesToMicro(double degrees)
{
    if (!std::isfinite(degrees))
        return 0;
    double scaled = degrees * 1e6;
    // 50.123456 read back from 50123456 may scale to 50123455.99999999:
    // truncating that would move the position a little on every save.
    const double nearest = std::round(scaled);
    if (std::abs(scaled - nearest) < 1e-6)
        scaled = nearest;
    scaled = std::trunc(scaled);
    if (scaled > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (scaled < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(scaled);
}

double microToDegrees(std::int32_t micro)
{
    return micro / 1e6;
}

} // namespace tw

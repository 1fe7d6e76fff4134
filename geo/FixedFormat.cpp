// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/FixedFormat.h"

#include "platform/Numbers.h"

#include <charconv>
#include <cmath>

namespace tw::geo {
namespace {

std::string padded(std::string text, int width, char pad)
{
    const auto w = static_cast<std::size_t>(width < 0 ? 0 : width);
    if (text.size() >= w)
        return text;
    const std::size_t fill = w - text.size();
    if (pad == '0') {
        const std::size_t at = !text.empty() && text.front() == '-' ? 1 : 0;
        text.insert(at, fill, '0');
        return text;
    }
    text.insert(0, fill, pad);
    return text;
}

} // namespace

std::string fixedText(double value, int decimals, int width, char pad)
{
    if (!std::isfinite(value)) // printf pads "nan" and "inf" with blanks only
        return padded(std::isnan(value) ? "nan" : (value < 0 ? "-inf" : "inf"), width, ' ');
    return padded(num::formatFixed(value, decimals), width, pad);
}

std::string zeroPaddedInt(long long value, int width)
{
    char buffer[24];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return padded(std::string(buffer, ec == std::errc() ? end : buffer), width, '0');
}

std::string wholeNumberText(double value)
{
    // -0.0 would print as "-0"; an int has no negative zero.
    return fixedText(std::trunc(value) + 0.0, 0);
}

} // namespace tw::geo

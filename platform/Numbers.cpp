// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Numbers.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>

namespace tw::num {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<std::int64_t> parseInt(std::string_view text)
{
    text = trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<int> leadingInt(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        if (value <= static_cast<long long>(INT_MAX) + 1)
            value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

std::optional<double> leadingDouble(std::string_view text, std::size_t* used)
{
    const char* begin = text.data();
    std::string_view rest = text;
    while (!rest.empty() && isBlank(rest.front()))
        rest.remove_prefix(1);
    bool negative = false;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    }
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-'))
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), value,
                                           std::chars_format::general);
    if (end == rest.data())
        return std::nullopt;
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone when it is out of range; like
        // strtod, give HUGE_VAL for an overflow and 0 for an underflow.
        const std::string_view number(rest.data(), static_cast<std::size_t>(end - rest.data()));
        const std::size_t e = number.find_first_of("eE");
        const bool underflow = e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = underflow ? 0.0 : HUGE_VAL;
    }
    if (used)
        *used = static_cast<std::size_t>(end - begin);
    return negative ? -value : value;
}

std::optional<double> parseDouble(std::string_view text)
{
    text = trim(text);
    std::size_t used = 0;
    const auto value = leadingDouble(text, &used);
    if (!value || used != text.size())
        return std::nullopt;
    return value;
}

std::string formatDouble(double value)
{
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

std::string formatFixed(double value, int decimals)
{
    std::array<char, 400> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                         std::chars_format::fixed, decimals);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("0");
}

} // namespace tw::num

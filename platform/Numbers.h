// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Number reading and writing that never depends on the user's locale: a
// German locale must not turn "50.5" into "50,5" in SQL, files or NMEA.
namespace tw::num {

// The whole text (blanks around it allowed) as a decimal integer.
std::optional<std::int64_t> parseInt(std::string_view text);

// The leading decimal integer of a text, as sscanf("%d") reads it: blanks
// skipped, optional sign, then digits; "12a" gives 12, "abc" nothing.
// Values beyond the int range are clamped.
std::optional<int> leadingInt(std::string_view text);

// The whole text as a decimal number with a point ("1e3" allowed).
std::optional<double> parseDouble(std::string_view text);

// The leading number of a text, as strtod in the C locale reads it; nothing
// when no digits start the text.
std::optional<double> leadingDouble(std::string_view text, std::size_t* used = nullptr);

// Shortest text that reads back to the same double, with a point.
std::string formatDouble(double value);

// Fixed number of decimals with a point, like printf("%.*f").
std::string formatFixed(double value, int decimals);

} // namespace tw::num

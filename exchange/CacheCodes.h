// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::codes {

// The letters of the cache site's codes after "GC": digits and capitals
// without I, L, O, S and U, which read like other letters.
inline constexpr std::string_view kCodeAlphabet = "0123456789ABCDEFGHJKMNPQRTVWXYZ";

// The cache site's code of a numeric cache id ("GC" and the id in base 16
// below 0x10000, in base 31 from there on with an offset of 411120, so that
// the codes go on where the base-16 ones ended). Empty for ids below 1.
std::string gcCodeFromId(std::int64_t id);
// The numeric id of a code made that way; none for any other text.
std::optional<std::int64_t> idFromGcCode(std::string_view code);

// True when text is a whole cache code as written in a file: two capital
// letters naming the platform (GC, OC, LC, …) and two to six capitals and
// digits, at least one a digit, nothing around them. A cache-site code
// ("GC" and one to six letters) uses the letters of kCodeAlphabet, or has a
// digit among them.
bool isWholeCode(std::string_view text);
// True when text is the cache-site code with its "GC" left off, as some
// route planners write it: two to six letters of kCodeAlphabet.
bool isCodeWithoutPrefix(std::string_view text);

// The cache code an address names: "wp=CODE" in its query, or a path
// "/geocache/CODE" or the short host "coord.info/CODE". Empty when it names
// none; a view of url otherwise.
std::string_view codeFromUrl(std::string_view url);

} // namespace tw::codes

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tw {

// UTF-16 to UTF-8 and back; unpaired surrogates and bytes that are not
// UTF-8 become U+FFFD, so the result is always well formed.
std::string toUtf8(std::u16string_view text);
// The same, appended to out.
void appendUtf8(std::string& out, std::u16string_view text);
std::u16string toUtf16(std::string_view utf8);

// What nextUtf8 gives for a malformed sequence.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;
// The code point of the UTF-8 sequence at text[i] (i < text.size()), with i
// moved past it. A malformed sequence (a stray continuation byte, a lead
// byte without its continuation, an overlong form, beyond U+10FFFF) gives
// kNotUtf8, and i stops at the byte that broke it off. Encoded surrogates
// are given as they are: what to make of them is the caller's business.
char32_t nextUtf8(std::string_view text, std::size_t& i);

} // namespace tw

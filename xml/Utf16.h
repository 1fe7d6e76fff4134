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

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tw {

// The words a reader of an HTML text sees: no tag or attribute text, the
// content of script and style elements and of comments dropped, character
// references decoded (the named ones of Latin-1, Czech letters, punctuation;
// an unknown one stays as written). Inline elements (b, i, span, a, ...)
// join what surrounds them; every other tag separates words. Control
// characters become spaces. Appended to out.
void appendVisibleText(std::string_view html, std::string& out);
std::string visibleText(std::string_view html);

} // namespace tw

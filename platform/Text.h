// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace tw::text {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// A text of the language table with its %s and %d places filled in order
// from values; places beyond the values stay as they are.
std::string fillIn(std::string_view text, std::initializer_list<std::string_view> values);

// Stored texts keep LF line ends; shown texts use CR LF: every LF becomes
// CR LF, then every CR CR pair becomes one CR.
std::string storedToShown(std::string_view stored);

// The text with & < > " ' written as character references, for HTML pages
// and XML documents alike.
std::string escapeMarkup(std::string_view text);

} // namespace tw::text

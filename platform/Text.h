// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tw::text {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to);

// Stored texts keep LF line ends; shown texts use CR LF: every LF becomes
// CR LF, then every CR CR pair becomes one CR.
std::string storedToShown(std::string_view stored);

// The text with & < > " ' written as character references, for HTML pages
// and XML documents alike.
std::string escapeMarkup(std::string_view text);

} // namespace tw::text

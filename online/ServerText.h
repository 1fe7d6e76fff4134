// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tw::net {

/** A text that came from a server, made safe to print on a terminal: control
 *  characters (C0 but line feed and tab, DEL, and the C1 range U+0080 to
 *  U+009F) are taken out, so an escape sequence cannot retitle or clear the
 *  user's terminal. */
std::string printableText(std::string_view text);

/** True for an image address a page may show: http or https, at most 2048
 *  bytes, with no blank, control character, quote, backslash, backquote or
 *  angle bracket in it (any of those could close the attribute it stands in). */
bool isSafeImageUrl(std::string_view url);

/** The stored form of a listing image, "<a href="URL">NAME</a>", the name
 *  written with character references. Nothing for an address that is not
 *  safe (see isSafeImageUrl). */
std::optional<std::string> imageLink(std::string_view url, std::string_view name);

/** A stored image link taken apart: the address between the quotes of href
 *  (either kind) and the text up to "</a>". */
struct ImageLinkParts {
    std::string url;
    std::string name;
};
std::optional<ImageLinkParts> parseImageLink(std::string_view link);

} // namespace tw::net

// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/ServerText.h"

#include "platform/Text.h"

#include <cctype>

namespace tw::net {

std::string printableText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\n' && c != '\t') || c == 0x7f)
            continue;
        // U+0080 to U+009F are C2 80 to C2 9F in UTF-8; a terminal may take
        // them as the eight-bit forms of ESC sequences.
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            ++i;
            continue;
        }
        out += static_cast<char>(c);
    }
    return out;
}

bool isSafeImageUrl(std::string_view url)
{
    constexpr std::size_t kMaxUrl = 2048;
    if (url.size() > kMaxUrl)
        return false;
    std::string lower(url.substr(0, 8));
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::size_t scheme = lower.starts_with("http://") ? 7 : lower.starts_with("https://") ? 8 : 0;
    if (scheme == 0 || url.size() == scheme)
        return false;
    for (const char ch : url) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7f || ch == '"' || ch == '\'' || ch == '<' || ch == '>' || ch == '\\' || ch == '`')
            return false;
    }
    return true;
}

std::optional<std::string> imageLink(std::string_view url, std::string_view name)
{
    if (!isSafeImageUrl(url))
        return std::nullopt;
    return "<a href=\"" + std::string(url) + "\">" + text::escapeMarkup(printableText(name)) + "</a>";
}

std::optional<ImageLinkParts> parseImageLink(std::string_view link)
{
    const std::size_t href = link.find("href=");
    if (href == std::string_view::npos || href + 5 >= link.size())
        return std::nullopt;
    const char quote = link[href + 5];
    if (quote != '"' && quote != '\'')
        return std::nullopt;
    const std::size_t urlEnd = link.find(quote, href + 6);
    if (urlEnd == std::string_view::npos)
        return std::nullopt;
    const std::size_t open = link.find('>', urlEnd);
    if (open == std::string_view::npos)
        return std::nullopt;
    const std::size_t close = link.find("</a>", open);
    ImageLinkParts parts;
    parts.url = std::string(link.substr(href + 6, urlEnd - href - 6));
    parts.name = std::string(link.substr(open + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                    : close - open - 1));
    return parts;
}

} // namespace tw::net

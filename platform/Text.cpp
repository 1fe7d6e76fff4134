// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Text.h"

#include <algorithm>

namespace tw::text {

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::string fillIn(std::string_view text, std::initializer_list<std::string_view> values)
{
    std::string out;
    out.reserve(text.size());
    const auto* next = values.begin();
    std::size_t pos = 0;
    while (next != values.end()) {
        const std::size_t hit = text.find('%', pos);
        if (hit == std::string_view::npos || hit + 1 >= text.size())
            break;
        out.append(text.substr(pos, hit - pos));
        const char kind = text[hit + 1];
        if (kind == 's' || kind == 'd')
            out.append(*next++);
        else
            out.append(text.substr(hit, 2));
        pos = hit + 2;
    }
    out.append(text.substr(std::min(pos, text.size())));
    return out;
}

std::string storedToShown(std::string_view stored)
{
    return replaceAll(replaceAll(stored, "\n", "\r\n"), "\r\r", "\r");
}

std::string escapeMarkup(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c; break;
        }
    }
    return out;
}

} // namespace tw::text

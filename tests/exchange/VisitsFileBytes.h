// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/Utf16.h"

#include <string>
#include <vector>

namespace tw::test {

// How a unit (or another writer) lays out geocache_visits.txt.
struct VisitsLayout {
    bool utf16 = true;
    bool byteOrderMark = true;
    bool crlf = true;
};

// The bytes of a visits file of the given lines (UTF-8, without line ends;
// a "\n" inside a line's text becomes the layout's line end as well).
inline std::string visitsFileBytes(const std::vector<std::string>& lines, VisitsLayout layout = {})
{
    const std::string eol = layout.crlf ? "\r\n" : "\n";
    std::string text;
    for (const auto& line : lines) {
        for (char c : line)
            text += c == '\n' ? eol : std::string(1, c);
        text += eol;
    }
    if (!layout.utf16)
        return (layout.byteOrderMark ? "\xEF\xBB\xBF" : "") + text;
    std::string bytes = layout.byteOrderMark ? "\xFF\xFE" : "";
    for (char16_t unit : toUtf16(text)) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

// Visits of every kind the reader must take: a find with doubled quotes, a
// comma and a line break in its text and an emoji, a did-not-find with an
// empty text, a note, a cache looked at only, and a needs-maintenance.
inline const std::vector<std::string>& sampleVisitLines()
{
    static const std::vector<std::string> lines{
        "GC1A2B3,2024-05-18T09:15Z,Found it,\"Nice \"\"box\"\", dry\nSecond line \xF0\x9F\x98\x80\"",
        "GC2B3C4,2024-05-18T10:02Z,Didn't find it,\"\"",
        "gc3c4d5,2024-05-18T11:40Z,Write note,\"Muggles, come back later\"",
        "GC4D5E6,2024-05-18T12:00Z,Unattempted,\"\"",
        "GC9ZZZZ,2024-05-18T12:30Z,Needs Maintenance,\"Log full\"",
    };
    return lines;
}

} // namespace tw::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The words a reader of an HTML text sees: no tag or attribute text, the
// content of script and style elements and of comments dropped, character
// references decoded (the named ones of Latin-1, Czech letters, punctuation;
// an unknown one stays as written). Inline elements (b, i, span, a, ...)
// join what surrounds them; every other tag separates words. Control
// characters become spaces. Appended to out.
void appendVisibleText(std::string_view html, std::string& out);
std::string visibleText(std::string_view html);

// A piece of a text as a printed page sets it.
struct TextBlock {
    enum class Kind { Paragraph, Heading, ListItem, Image };
    Kind kind = Kind::Paragraph;
    // The words, blanks collapsed to one space; of an image its address as
    // the src attribute gives it ("&amp;" read as "&").
    std::string text;
};

// The visible text of an HTML page (read as appendVisibleText reads it) cut
// into blocks where a browser starts a new line: paragraphs, headings (h1 to
// h6), list items, line breaks, table cells; every img tag with a src is an
// image block in its place. Blocks without words are left out.
std::vector<TextBlock> visibleBlocks(std::string_view html);
// A plain text in blocks: one paragraph a line, empty lines left out.
std::vector<TextBlock> plainBlocks(std::string_view text);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QPalette;
class QTextDocument;

namespace tw {

// The least contrast a listing's text keeps against its ground; below it
// the text takes the theme's colour.
inline constexpr double kLeastTextContrast = 3.0;

// Fits a listing's own colours to the window's theme after the page is
// read in. On a dark palette the listing's light grounds (page, tables,
// cells, paragraphs, marked words) are turned dark, keeping a trace of their
// hue, and its text colours brighter than the theme's text are dimmed to
// it. On any palette a text whose colour has less than kLeastTextContrast
// against the ground it ends up on takes the theme's text colour (or,
// where that is no better, black or white). Every other colour of the
// listing stays as its author chose it.
void fitListingColours(QTextDocument& document, const QPalette& palette);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

// A waypoint keeps its formulas inside its comment between "<?" and "?>"
// (latitude formula, CR LF, longitude formula); a cache keeps its letter
// values inside its personal note between "<!" and "!>". The blocks travel
// with the texts through export and import like any other text.
namespace tw::geo {

enum class BlockKind {
    Formulas,  // "<?" ... "?>"
    Variables, // "<!" ... "!>"
};

/** The raw text between the markers of the first block, or nothing when the
 *  text has no valid block (both markers present, the opening one first). */
std::optional<std::string_view> blockInner(std::string_view text, BlockKind kind);

/** The text with `content` stored as its block: appended as
 *  CR LF, opening marker, CR LF, content, CR LF, closing marker when the text
 *  has no block yet; otherwise the block's inner text becomes CR LF, content,
 *  CR LF, and the rest of the text stays as it was. */
std::string storeBlock(std::string_view text, BlockKind kind, std::string_view content);

struct FormulaPair {
    std::string lat;
    std::string lon;
};

/** The two formulas of a waypoint comment's block, trimmed of blanks and line
 *  breaks; the second is empty when the block holds one line only. */
std::optional<FormulaPair> readFormulaBlock(std::string_view comment);

/** The variables text of a cache note's block, trimmed of blanks and line breaks. */
std::optional<std::string> readVariableBlock(std::string_view note);

/** The note with a selection of it made into the variable block: the
 *  selected text, trimmed of blanks and line breaks, is replaced by
 *  "<!" CR LF, that text, CR LF "!>". selStart and selEnd are byte offsets
 *  into the UTF-8 note, in either order. Nothing when the note already holds
 *  a valid variable block, or the selection is empty or blank. */
std::optional<std::string> storeSelectionAsVariables(std::string_view note, std::size_t selStart,
                                                     std::size_t selEnd);

/** The text with blanks, CR and LF removed from both ends. */
std::string_view trimBlank(std::string_view text);

} // namespace tw::geo

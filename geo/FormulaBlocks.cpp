// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/FormulaBlocks.h"

#include "platform/Text.h"

#include <algorithm>
#include <utility>

namespace tw::geo {
namespace {

struct Markers {
    std::string_view open;
    std::string_view close;
};

Markers markersOf(BlockKind kind)
{
    return kind == BlockKind::Formulas ? Markers{"<?", "?>"} : Markers{"<!", "!>"};
}

// Where the inner text of the first valid block begins and ends.
std::optional<std::pair<std::size_t, std::size_t>> innerSpan(std::string_view text, BlockKind kind)
{
    const Markers m = markersOf(kind);
    const std::size_t open = text.find(m.open);
    const std::size_t close = text.find(m.close);
    if (open == std::string_view::npos || close == std::string_view::npos)
        return std::nullopt;
    // "<?>" holds both markers sharing the "?"; it is no block.
    if (close < open + m.open.size())
        return std::nullopt;
    return std::make_pair(open + m.open.size(), close);
}

} // namespace

std::string_view trimBlank(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \r\n") - first + 1);
}

std::optional<std::string_view> blockInner(std::string_view text, BlockKind kind)
{
    const auto span = innerSpan(text, kind);
    if (!span)
        return std::nullopt;
    return text.substr(span->first, span->second - span->first);
}

std::string storeBlock(std::string_view text, BlockKind kind, std::string_view content)
{
    std::string out(text);
    const auto span = innerSpan(text, kind);
    if (!span) {
        const Markers m = markersOf(kind);
        out.append("\r\n").append(m.open).append("\r\n").append(content).append("\r\n").append(m.close);
        return out;
    }
    // Only the block itself changes: the same words elsewhere in the comment
    // are the user's own text.
    const std::string inner = "\r\n" + std::string(content) + "\r\n";
    out.replace(span->first, span->second - span->first, inner);
    return out;
}

std::optional<std::string> storeSelectionAsVariables(std::string_view note, std::size_t selStart,
                                                     std::size_t selEnd)
{
    if (blockInner(note, BlockKind::Variables))
        return std::nullopt;
    if (selStart > selEnd)
        std::swap(selStart, selEnd);
    selEnd = std::min(selEnd, note.size());
    if (selStart >= selEnd)
        return std::nullopt;
    const std::string_view selected = note.substr(selStart, selEnd - selStart);
    const std::string_view trimmed = trimBlank(selected);
    if (trimmed.empty())
        return std::nullopt;
    // The blanks trimmed off stay where they were, around the block.
    const std::size_t at = selStart + static_cast<std::size_t>(trimmed.data() - selected.data());
    std::string out(note);
    out.replace(at, trimmed.size(), "<!\r\n" + std::string(trimmed) + "\r\n!>");
    return out;
}

std::optional<FormulaPair> readFormulaBlock(std::string_view comment)
{
    const auto inner = blockInner(comment, BlockKind::Formulas);
    if (!inner)
        return std::nullopt;
    // Comments read from the database keep bare LF line ends.
    std::string lines = text::replaceAll(trimBlank(*inner), "\r\n", "|");
    lines = text::replaceAll(lines, "\n", "|");
    FormulaPair pair;
    const std::size_t bar = lines.find('|');
    pair.lat = lines.substr(0, bar);
    if (bar != std::string::npos) {
        const std::size_t next = lines.find('|', bar + 1);
        pair.lon = lines.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
    }
    return pair;
}

std::optional<std::string> readVariableBlock(std::string_view note)
{
    const auto inner = blockInner(note, BlockKind::Variables);
    if (!inner)
        return std::nullopt;
    return std::string(trimBlank(*inner));
}

} // namespace tw::geo

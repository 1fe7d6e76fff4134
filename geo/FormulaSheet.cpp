// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/FormulaSheet.h"

#include "geo/CoordParser.h"
#include "geo/FormulaBlocks.h"

namespace tw::geo {

FormulaSheet FormulaSheet::open(std::string_view waypointComment, std::string_view cacheNote)
{
    FormulaSheet sheet;
    if (auto formulas = readFormulaBlock(waypointComment)) {
        sheet.latFormula = std::move(formulas->lat);
        sheet.lonFormula = std::move(formulas->lon);
    }
    if (auto vars = readVariableBlock(cacheNote))
        sheet.variables = std::move(*vars);
    return sheet;
}

void FormulaSheet::normalise()
{
    latFormula = normaliseFormula(latFormula, false, latHemisphere);
    lonFormula = normaliseFormula(lonFormula, true, lonHemisphere);
}

void FormulaSheet::compute(const LanguageText& texts)
{
    VariableTable table;
    variableSum = parseVariables(variables, table);
    failed = false;
    auto resultOf = [&](const std::string& formula) {
        SubstituteResult r = substitute(formula, table);
        if (r.ok())
            return std::move(r.text);
        failed = true;
        return errorMessage(r.error, r.detail, texts);
    };
    const std::string lat = resultOf(latFormula);
    const std::string lon = resultOf(lonFormula);
    resultText = std::string{latHemisphere, ' '} + lat + "\r\n" + lonHemisphere + ' ' + lon;

    digitSum = 0;
    for (const char c : resultText)
        if (c >= '0' && c <= '9')
            digitSum += c - '0';
    computed = true;
}

std::string FormulaSheet::storeFormulas(std::string_view waypointComment) const
{
    return storeBlock(waypointComment, BlockKind::Formulas, latFormula + "\r\n" + lonFormula);
}

std::optional<std::string> FormulaSheet::storeVariables(std::string_view cacheNote) const
{
    if (variables.empty())
        return std::nullopt;
    return storeBlock(cacheNote, BlockKind::Variables, variables);
}

std::optional<LatLon> FormulaSheet::resultPosition() const
{
    // An error message may hold digits of its own, which must not make a
    // half-computed result read as a position.
    if (!computed || failed)
        return std::nullopt;
    return parseCoords(resultText);
}

std::string storeFormulaText(std::string_view waypointComment, std::string_view clipboardText)
{
    return storeBlock(waypointComment, BlockKind::Formulas, clipboardText);
}

} // namespace tw::geo

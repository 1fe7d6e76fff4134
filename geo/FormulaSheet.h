// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/FormulaEvaluator.h"
#include "geo/LatLon.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tw::geo {

/** What the formula dialog works on: a waypoint's two formulas with their
 *  hemispheres, the cache's letter values, and the computed result. The
 *  dialog shows and edits the fields and calls the operations below. */
class FormulaSheet {
public:
    /** Loads the formula block of the waypoint comment and the variable block
     *  of the cache note; fields without a block stay empty. */
    static FormulaSheet open(std::string_view waypointComment, std::string_view cacheNote);

    /** Tidies both formulas (normaliseFormula); leading hemisphere letters
     *  move into the hemisphere choices. */
    void normalise();

    /** Reads the variables, substitutes both formulas and builds the result
     *  text "N <latitude>\r\nE <longitude>", its digit sum and the sum of the
     *  variables. A failing formula's place holds its error message, whose
     *  texts come from `texts` (entries 305 to 310). */
    void compute(const LanguageText& texts);

    /** The waypoint comment with the two formulas stored as its block. */
    std::string storeFormulas(std::string_view waypointComment) const;

    /** The cache note with the variables stored as its block; nothing when the
     *  variables text is empty (the note then stays as it is). */
    std::optional<std::string> storeVariables(std::string_view cacheNote) const;

    /** The result text read as coordinates; nothing when it does not read or
     *  a formula failed. */
    std::optional<LatLon> resultPosition() const;

    std::string latFormula;
    char latHemisphere = 'N'; // 'N' or 'S'
    std::string lonFormula;
    char lonHemisphere = 'E'; // 'E' or 'W'
    std::string variables;

    bool computed = false; // until then the dialog shows "??"
    bool failed = false;   // a formula did not evaluate; its place holds the message
    std::string resultText;
    int digitSum = 0;
    std::int32_t variableSum = 0;
};

/** The waypoint comment with clipboard text stored as its formula block in
 *  place of the two formula lines. */
std::string storeFormulaText(std::string_view waypointComment, std::string_view clipboardText);

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary text as a variable block and as a formula.
#include "geo/FormulaEvaluator.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tw::geo::VariableTable variables;
    (void)tw::geo::parseVariables(text, variables);
    (void)tw::geo::evaluate(text, variables);
    std::string postfix;
    (void)tw::geo::toPostfix(text, postfix);
    (void)tw::geo::substitute(text, variables);
    char hemisphere = 'N';
    (void)tw::geo::normaliseFormula(text, false, hemisphere);
    (void)tw::geo::normaliseFormula(text, true, hemisphere);
    return 0;
}

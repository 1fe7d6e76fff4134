// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

// Puzzle caches publish final coordinates as formulas over letters, such as
// "N 49°12.[A*3+B]". These functions tidy such formulas, read the letter
// values, and evaluate the bracketed integer expressions.
//
// The arithmetic is 32-bit and wraps around: 2147483647+1 is -2147483648,
// and a power that does not fit wraps exactly as the same number of
// multiplications would (2^32 is 0). -2147483648/-1 is -2147483648 and
// -2147483648%-1 is 0.
namespace tw::geo {

/** Letter values of a cache. Names are case-sensitive; only names made of
 *  the letters A to Z can be used in expressions. */
using VariableTable = std::map<std::string, std::int32_t, std::less<>>;

/** The evaluator's results; the numbers are the message numbers the user sees
 *  (language entry kFirstEvalMessage + code − 1 for codes 1 to 6). */
enum class EvalError : int {
    None = 0,
    DivisionByZero = 1,
    MissingOperand = 2,    // detail: the operator
    InvalidCharacter = 3,
    UndefinedVariable = 4, // detail: the name
    InvalidNumber = 5,     // detail: the token
    EmptyExpression = 6,
};

inline constexpr int kFirstEvalMessage = 305;

struct EvalResult {
    std::int32_t value = 0;
    EvalError error = EvalError::None;
    std::string detail;
    bool ok() const { return error == EvalError::None; }
};

/** Evaluates an integer expression with + - * / % ^ and round brackets over
 *  decimal numbers and variable names. There is no unary minus; all
 *  operators are left-associative ("2^3^2" is 64); division truncates toward
 *  zero. A ")" without its "(" ends the expression there: "1+2)*3" is 3. */
EvalResult evaluate(std::string_view expression, const VariableTable& variables);

/** The postfix form the evaluation works on, tokens separated by blanks;
 *  error InvalidCharacter when the expression holds a character it cannot use. */
EvalResult toPostfix(std::string_view expression, std::string& postfix);

struct SubstituteResult {
    std::string text; // the formula with its letters and [expressions] replaced
    EvalError error = EvalError::None;
    std::string detail;
    bool ok() const { return error == EvalError::None; }
};

/** Replaces every [expression] by its value and every capital letter outside
 *  brackets, except the very first character (a hemisphere letter), by the
 *  letter's value: "12.[A]45" with A=5 gives "12.545". Stops at the first
 *  failing evaluation. An unclosed "[" at the end is dropped. */
SubstituteResult substitute(std::string_view formula, const VariableTable& variables);

/** Reads assignments such as "A=3 B=12", "A: 3" or "ABC=123" (which also sets
 *  A=1, B=2, C=3) into the table and returns the sum of the values assigned,
 *  wrapping like the rest of the arithmetic. Unreadable values are skipped. */
std::int32_t parseVariables(std::string_view text, VariableTable& variables);

/** Tidies one typed or pasted formula: "N 49 12.(A*3+B)" becomes
 *  "49°12.[A*3+B]". A leading hemisphere letter ("N"/"S" for a latitude,
 *  "E"/"W" for a longitude) is removed and stored in `hemisphere`, which is
 *  otherwise left as it is. UTF-8 in and out. */
std::string normaliseFormula(std::string_view formula, bool isLongitude, char& hemisphere);

/** Looks up a language text by its number. */
using LanguageText = std::function<std::string(int number)>;

/** The message for an evaluation error: "OK" for none, else the language
 *  text of the code followed, for codes 2, 4 and 5, by a blank and the detail. */
std::string errorMessage(EvalError error, std::string_view detail, const LanguageText& texts);

} // namespace tw::geo

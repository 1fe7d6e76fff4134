// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/FormulaEvaluator.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <random>

namespace tw::geo {
namespace {

struct ExpressionCase {
    const char* name;
    const char* expression;
    std::int32_t value;
    EvalError error;
    const char* detail;
};

class Evaluate : public ::testing::TestWithParam<ExpressionCase> {};

TEST_P(Evaluate, GivesValueOrError)
{
    const auto& c = GetParam();
    const VariableTable vars{{"A", 2}, {"B", 5}, {"AB", 12}, {"MIN", INT_MIN}, {"MAX", INT_MAX}, {"M", -1}};
    const EvalResult r = evaluate(c.expression, vars);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.detail, c.detail);
    if (c.error == EvalError::None) {
        EXPECT_EQ(r.value, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(Geo, Evaluate, ::testing::Values(
    ExpressionCase{"Precedence", "A*3+B", 11, EvalError::None, ""},
    ExpressionCase{"Brackets", "(1+2)*3", 9, EvalError::None, ""},
    ExpressionCase{"PowerIsLeftAssociative", "2^3^2", 64, EvalError::None, ""},
    ExpressionCase{"DivisionTruncates", "7/2", 3, EvalError::None, ""},
    ExpressionCase{"NegativeDivisionTruncatesTowardZero", "(0-7)/2", -3, EvalError::None, ""},
    ExpressionCase{"Remainder", "17%5", 2, EvalError::None, ""},
    ExpressionCase{"LongName", "AB+A", 14, EvalError::None, ""},
    ExpressionCase{"BlanksIgnored", " 1 +  2 ", 3, EvalError::None, ""},
    ExpressionCase{"MixedTokenReadsLeadingDigits", "2A", 2, EvalError::None, ""},
    ExpressionCase{"UnmatchedCloseEndsExpression", "1+2)*3", 3, EvalError::None, ""},
    ExpressionCase{"NoUnaryMinus", "-7/2", 0, EvalError::MissingOperand, "-"},
    ExpressionCase{"RemainderByZero", "7%0", 0, EvalError::DivisionByZero, ""},
    ExpressionCase{"DivisionByZero", "A/(B-5)", 0, EvalError::DivisionByZero, ""},
    ExpressionCase{"Empty", "", 0, EvalError::EmptyExpression, ""},
    ExpressionCase{"OnlyBlanks", "   ", 0, EvalError::EmptyExpression, ""},
    ExpressionCase{"TrailingOperator", "A+", 0, EvalError::MissingOperand, "+"},
    ExpressionCase{"Undefined", "Q", 0, EvalError::UndefinedVariable, "Q"},
    ExpressionCase{"UndefinedMixedName", "A2", 0, EvalError::UndefinedVariable, "A2"},
    ExpressionCase{"UnclosedBracketReachesPostfix", "(1+2", 0, EvalError::InvalidNumber, "("},
    ExpressionCase{"LowerCaseIsInvalid", "a+1", 0, EvalError::InvalidCharacter, ""},
    ExpressionCase{"DecimalPointIsInvalid", "1.5", 0, EvalError::InvalidCharacter, ""},
    // 32-bit arithmetic wraps around instead of overflowing.
    ExpressionCase{"SumWraps", "2147483647+1", INT_MIN, EvalError::None, ""},
    ExpressionCase{"DifferenceWraps", "MIN-1", INT_MAX, EvalError::None, ""},
    ExpressionCase{"ProductWraps", "65536*65536", 0, EvalError::None, ""},
    ExpressionCase{"NumberWraps", "4294967297", 1, EvalError::None, ""},
    ExpressionCase{"MinDividedByMinusOne", "MIN/M", INT_MIN, EvalError::None, ""},
    ExpressionCase{"MinRemainderMinusOne", "MIN%M", 0, EvalError::None, ""},
    ExpressionCase{"PowerFits", "3^19", 1162261467, EvalError::None, ""},
    ExpressionCase{"NegativeBasePower", "(0-2)^3", -8, EvalError::None, ""},
    ExpressionCase{"PowerWrapsLikeProducts", "2^31", INT_MIN, EvalError::None, ""},
    ExpressionCase{"PowerBeyond32Bits", "2^32", 0, EvalError::None, ""},
    ExpressionCase{"LargePowerWraps", "3^21", 1870418611, EvalError::None, ""},
    ExpressionCase{"HugeExponent", "3^MAX", -1431655765, EvalError::None, ""},
    ExpressionCase{"ZeroToTheZero", "0^0", 1, EvalError::None, ""},
    ExpressionCase{"NegativeExponentTruncates", "2^M", 0, EvalError::None, ""},
    ExpressionCase{"MinusOneToNegativeOdd", "M^M", -1, EvalError::None, ""},
    ExpressionCase{"ZeroToNegativeIsDivisionByZero", "0^M", 0, EvalError::DivisionByZero, ""}),
    test::RowName());

TEST(FormulaEvaluator, PostfixForm)
{
    std::string postfix;
    ASSERT_TRUE(toPostfix("A*3+B", postfix).ok());
    EXPECT_EQ(postfix, "A 3 * B + ");
    EXPECT_EQ(toPostfix("1,5", postfix).error, EvalError::InvalidCharacter);
}

struct SubstituteCase {
    const char* name;
    const char* formula;
    const char* text;
    EvalError error;
};

class Substitute : public ::testing::TestWithParam<SubstituteCase> {};

TEST_P(Substitute, ReplacesLettersAndBrackets)
{
    const auto& c = GetParam();
    const VariableTable vars{{"A", 5}, {"B", 5}, {"N", 7}, {"X", -3}};
    const SubstituteResult r = substitute(c.formula, vars);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(Geo, Substitute, ::testing::Values(
    SubstituteCase{"BracketInTheMiddle", "12.[A]45", "12.545", EvalError::None},
    SubstituteCase{"Formula", "49°12.[A*3+B]", "49°12.20", EvalError::None},
    SubstituteCase{"BareLetters", "50°0A.B00", "50°05.500", EvalError::None},
    SubstituteCase{"FirstCharacterIsKept", "N49°1A", "N49°15", EvalError::None},
    SubstituteCase{"NegativeValue", "1[X]", "1-3", EvalError::None},
    SubstituteCase{"UnclosedBracketDropped", "49°12.[A", "49°12.", EvalError::None},
    SubstituteCase{"FailureStops", "49°[A/0]", "", EvalError::DivisionByZero},
    SubstituteCase{"UndefinedLetter", "49°Q", "", EvalError::UndefinedVariable},
    SubstituteCase{"EmptyBracket", "49°[]", "", EvalError::EmptyExpression}),
    test::RowName());

struct VariablesCase {
    const char* name;
    const char* text;
    VariableTable expected;
    std::int32_t sum;
};

class ParseVariables : public ::testing::TestWithParam<VariablesCase> {};

TEST_P(ParseVariables, FillsTheTable)
{
    const auto& c = GetParam();
    VariableTable vars;
    EXPECT_EQ(parseVariables(c.text, vars), c.sum);
    EXPECT_EQ(vars, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Geo, ParseVariables, ::testing::Values(
    VariablesCase{"Simple", "A=2 B=5", {{"A", 2}, {"B", 5}}, 7},
    VariablesCase{"ColonsAndOneBlankAroundEquals", "A: 3\r\nB = 12", {{"A", 3}, {"B", 12}}, 15},
    VariablesCase{"LineFeedsSeparateToo", "A=1\nB=2\tC=3", {{"A", 1}, {"B", 2}, {"C", 3}}, 6},
    VariablesCase{"Run", "ABC=123", {{"ABC", 123}, {"A", 1}, {"B", 2}, {"C", 3}}, 123},
    VariablesCase{"RunWithNonDigit", "AB=1x", {{"A", 1}}, 0},
    VariablesCase{"LaterReplacesEarlier", "A=1 A=4", {{"A", 4}}, 5},
    VariablesCase{"UnreadableSkipped", "A=x B=  C=7 =5 D", {{"C", 7}}, 7},
    VariablesCase{"OneBlankAfterEqualsJoins", "B= 7", {{"B", 7}}, 7},
    VariablesCase{"TwoBlanksAreTooMany", "A  =  3", {}, 0},
    VariablesCase{"OutOfRangeSkipped", "A=99999999999 B=-2147483648", {{"B", INT_MIN}}, INT_MIN},
    VariablesCase{"SumWraps", "A=2147483647 B=1", {{"A", INT_MAX}, {"B", 1}}, INT_MIN}),
    test::RowName());

TEST(FormulaEvaluator, RunAndExpressionTogether)
{
    VariableTable vars;
    parseVariables("AB=12", vars);
    EXPECT_EQ(evaluate("AB+A", vars).value, 13);
}

struct NormaliseCase {
    const char* name;
    const char* formula;
    bool isLongitude;
    const char* expected;
    char hemisphere;
};

class Normalise : public ::testing::TestWithParam<NormaliseCase> {};

TEST_P(Normalise, TidiesTheFormula)
{
    const auto& c = GetParam();
    char hemisphere = c.isLongitude ? 'E' : 'N';
    EXPECT_EQ(normaliseFormula(c.formula, c.isLongitude, hemisphere), c.expected);
    EXPECT_EQ(hemisphere, c.hemisphere);
}

INSTANTIATE_TEST_SUITE_P(Geo, Normalise, ::testing::Values(
    NormaliseCase{"Example", "N 49 12.(A*3+B)", false, "49°12.[A*3+B]", 'N'},
    NormaliseCase{"South", " \r\nSS 12 34.[A]\r\n", false, "12°34.[A]", 'S'},
    NormaliseCase{"West", "W 014° 3(A+(B-1)),5", true, "014°3[A+(B-1)].5", 'W'},
    NormaliseCase{"NoLetterKeepsChoice", "50 07.[A]", true, "50°07.[A]", 'E'},
    NormaliseCase{"SignsOfArithmetic", "49°12.[A\u00d72\u00f7B x C]", false, "49°12.[A*2/B*C]", 'N'},
    NormaliseCase{"AccentsAndApostrophe", "49\u00b412'.[A]`", false, "49°12.[A]", 'N'},
    NormaliseCase{"StAndEquals", "=49st12.[A]", false, "49°12.[A]", 'N'},
    NormaliseCase{"NoBreakSpace", "49\u00a012.[A]", false, "49°12.[A]", 'N'},
    NormaliseCase{"StrayCloseBracket", "49°1)2.(A)", false, "49°1)2.[A]", 'N'}),
    test::RowName());

TEST(FormulaEvaluator, ErrorMessagesComeFromTheLanguageTable)
{
    const LanguageText texts = [](int n) { return "text" + std::to_string(n); };
    EXPECT_EQ(errorMessage(EvalError::None, "", texts), "OK");
    EXPECT_EQ(errorMessage(EvalError::DivisionByZero, "", texts), "text305");
    EXPECT_EQ(errorMessage(EvalError::MissingOperand, "+", texts), "text306 +");
    EXPECT_EQ(errorMessage(EvalError::InvalidCharacter, "", texts), "text307");
    EXPECT_EQ(errorMessage(EvalError::UndefinedVariable, "Q", texts), "text308 Q");
    EXPECT_EQ(errorMessage(EvalError::InvalidNumber, "(", texts), "text309 (");
    EXPECT_EQ(errorMessage(EvalError::EmptyExpression, "", texts), "text310");
    EXPECT_EQ(errorMessage(EvalError::UndefinedVariable, "Q", nullptr), "Undefined variable: Q");
}

// Arbitrary bytes, huge texts and deep brackets: every function returns, in
// reasonable time, without reading out of bounds (run under the sanitizers).
TEST(FormulaEvaluator, SurvivesArbitraryInput)
{
    std::mt19937 random(20240601);
    const std::string alphabet = "0123456789ABCZ+-*/%^()[] =:.,x\r\n\xC2\xB0\xC3\x97\xff";
    VariableTable vars{{"A", 1}, {"B", -1}, {"C", INT_MIN}};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            text += round % 2 ? static_cast<char>(random() % 256) : alphabet[random() % alphabet.size()];
        VariableTable scratch = vars;
        (void)evaluate(text, vars);
        (void)substitute(text, vars);
        (void)parseVariables(text, scratch);
        char hemisphere = 'N';
        (void)normaliseFormula(text, round % 3 == 0, hemisphere);
    }

    const auto start = std::chrono::steady_clock::now();
    const std::string deep = std::string(500000, '(') + "1" + std::string(500000, ')');
    EXPECT_EQ(evaluate(deep, vars).value, 1);
    EXPECT_EQ(evaluate(std::string(1000000, '('), vars).error, EvalError::InvalidNumber);
    EXPECT_EQ(evaluate(std::string(1000000, '+'), vars).error, EvalError::MissingOperand);
    std::string sum;
    for (int i = 0; i < 200000; ++i)
        sum += "A+";
    sum += "A";
    EXPECT_EQ(evaluate(sum, vars).value, 200001);
    EXPECT_TRUE(substitute("1" + std::string(1000000, 'A'), vars).ok());
    EXPECT_EQ(substitute("1[" + std::string(1000000, '['), vars).text, "1");
    VariableTable scratch;
    const std::string longRun = std::string(500000, 'A') + "=" + std::string(500000, '7');
    parseVariables(longRun, scratch);
    EXPECT_EQ(scratch.at("A"), 7);
    char hemisphere = 'N';
    EXPECT_EQ(normaliseFormula(std::string(1000000, 'N'), false, hemisphere), "");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

} // namespace
} // namespace tw::geo

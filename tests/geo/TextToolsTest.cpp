// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/TextTools.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <random>

namespace tw::geo {
namespace {

struct ToolCase {
    const char* name;
    std::string (*tool)(std::string_view);
    const char* input;
    const char* expected;
};

std::string morseCode(std::string_view t) { return morse(t); }
std::string invertedMorse(std::string_view t) { return morse(t, '-', '.'); }
std::string fromBinary(std::string_view t) { return numberBases(t, 2); }
std::string fromOctal(std::string_view t) { return numberBases(t, 8); }
std::string fromDecimal(std::string_view t) { return numberBases(t, 10); }
std::string fromHex(std::string_view t) { return numberBases(t, 16); }

class TextTool : public ::testing::TestWithParam<ToolCase> {};

TEST_P(TextTool, Converts)
{
    const auto& c = GetParam();
    EXPECT_EQ(c.tool(c.input), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Rot13, TextTool, ::testing::Values(
    ToolCase{"BracketsStayPlain", rot13, "Abc [Abc] xyz", "Nop [Abc] klm"},
    ToolCase{"BracketsDoNotNest", rot13, "[a[b]c]d", "[a[b]p]q"},
    ToolCase{"UnclosedBracket", rot13, "Hint [spoiler", "Uvag [spoiler"},
    ToolCase{"NonLettersStay", rot13, "N 50°07.407' Žluť", "A 50°07.407' Žyhť"}),
    test::RowName());

INSTANTIATE_TEST_SUITE_P(Morse, TextTool, ::testing::Values(
    ToolCase{"Encode", morseCode, "SOS", ".../---/.../"},
    ToolCase{"LowerCaseAndWordGap", morseCode, "a b", ".-//-.../"},
    ToolCase{"DigitsAndSigns", morseCode, "9?@", "----./..--../.--.-./"},
    ToolCase{"CharactersWithoutCode", morseCode, "ä#", "//"},
    ToolCase{"Decode", morseCode, ".../---/.../", "SOS "},
    ToolCase{"DecodeWordGap", morseCode, "...//---", "S O"},
    ToolCase{"ChSign", morseCode, "----/", "Ch "},
    ToolCase{"ChSignAtTheEnd", morseCode, "----", "c"},
    ToolCase{"Umlauts", morseCode, ".-.-/---./..--/", "aou "},
    ToolCase{"Digits", morseCode, "-----/.----/..---/----./", "0129 "},
    ToolCase{"SixSymbolSignIsUnknown", morseCode, ".-.-.-", "#"},
    ToolCase{"BlankTakesTheFirstPosition", morseCode, " .", " "},
    ToolCase{"Empty", morseCode, "", ""},
    ToolCase{"InvertedEncode", invertedMorse, "E", "-/"},
    ToolCase{"InvertedDecode", invertedMorse, "---/.../---/", "SOS "}),
    test::RowName());

INSTANTIATE_TEST_SUITE_P(Roman, TextTool, ::testing::Values(
    ToolCase{"ToNumerals", roman, "1994", "MCMXCIV"},
    ToolCase{"Thousands", roman, "3000", "MMM"},
    ToolCase{"Largest", roman, "9999", "MMMMMMMMMCMXCIX"},
    ToolCase{"LeadingDigitsOnly", roman, " 14 th", "XIV"},
    ToolCase{"TooLarge", roman, "10000", "Error"},
    ToolCase{"Negative", roman, "-5", "Error"},
    ToolCase{"Overlong", roman, "99999999999999999999999", "Error"},
    ToolCase{"FromNumerals", roman, "mcmxciv", "1994"},
    ToolCase{"SubtractOnlyBeforeGreater", roman, "IIX", "10"},
    ToolCase{"StopsAtNonNumeral", roman, "XIVth", "14"},
    ToolCase{"OnlyTenCharacters", roman, "MMMMMMMMMMM", "10000"},
    ToolCase{"Word", roman, "hello", "0"},
    ToolCase{"Zero", roman, "0", "0"}),
    test::RowName());

INSTANTIATE_TEST_SUITE_P(NumberBases, TextTool, ::testing::Values(
    ToolCase{"Hex", fromHex, " ff\t", "Bin: 11111111\r\nOct: 377\r\nDec: 255\r\n"},
    ToolCase{"Binary", fromBinary, "101", "Oct: 5\r\nDec: 5\r\nHex: 5\r\n"},
    ToolCase{"NotABinaryDigit", fromBinary, "12", "Error"},
    ToolCase{"Octal", fromOctal, "777", "Bin: 111111111\r\nDec: 511\r\nHex: 1FF\r\n"},
    ToolCase{"NotAnOctalDigit", fromOctal, "8", "Error"},
    ToolCase{"ZeroHasNoBinaryDigits", fromDecimal, "0", "Bin: \r\nOct: 0\r\nHex: 0\r\n"},
    ToolCase{"LargestValue", fromDecimal, "4294967295", "Bin: 11111111111111111111111111111111\r\nOct: 37777777777\r\nHex: FFFFFFFF\r\n"},
    ToolCase{"WrapsAt32Bits", fromDecimal, "4294967296", "Bin: \r\nOct: 0\r\nHex: 0\r\n"},
    ToolCase{"SignIsNoDigit", fromDecimal, "-1", "Error"},
    ToolCase{"BlankInside", fromHex, "f f", "Error"}),
    test::RowName());

TEST(TextTools, UnknownBaseIsAnError)
{
    EXPECT_EQ(numberBases("1", 3), "Error");
}

TEST(TextTools, WordsOfTheUsersLanguage)
{
    const NumberWords czech{"Chyba", "Bin", "Okt", "Dek", "Hex"};
    EXPECT_EQ(numberBases("8", 10, czech), "Bin: 1000\r\nOkt: 10\r\nHex: 8\r\n");
    EXPECT_EQ(numberBases("9", 8, czech), "Chyba");
    EXPECT_EQ(roman("10000", czech), "Chyba");
}

// Arbitrary bytes and long texts: every tool returns without reading out of
// bounds (run under the sanitizers), and ROT13 twice is the identity.
TEST(TextTools, SurviveArbitraryInput)
{
    std::mt19937 random(19891117);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 64);
        for (int i = 0; i < length; ++i)
            text += round % 2 ? static_cast<char>(random() % 256) : ".-/ "[random() % 4];
        EXPECT_EQ(rot13(rot13(text)), text);
        (void)morse(text);
        (void)morse(text, '-', '.');
        (void)roman(text);
        for (int base : {2, 8, 10, 16})
            (void)numberBases(text, base);
    }
    const std::string big(1 << 20, '.');
    EXPECT_EQ(morse(big), "5"); // the symbols after the fifth change nothing
    EXPECT_EQ(morse(std::string(1 << 20, 'e')).size(), 2u << 20);
}

} // namespace
} // namespace tw::geo

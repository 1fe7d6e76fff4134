// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/TextTools.h"

#include <array>
#include <charconv>
#include <cstdint>

namespace tw::geo {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// International Morse code (ITU-R M.1677) of the letters, digits and signs.
std::string_view morseCode(char c)
{
    static constexpr std::array<std::string_view, 26> kLetters{
        ".-", "-...", "-.-.", "-..", ".", "..-.", "--.", "....", "..", ".---", "-.-", ".-..", "--",
        "-.", "---", ".--.", "--.-", ".-.", "...", "-", "..-", "...-", ".--", "-..-", "-.--", "--.."};
    static constexpr std::array<std::string_view, 10> kDigits{
        "-----", ".----", "..---", "...--", "....-", ".....", "-....", "--...", "---..", "----."};
    if (c >= 'A' && c <= 'Z')
        return kLetters[static_cast<std::size_t>(c - 'A')];
    if (c >= '0' && c <= '9')
        return kDigits[static_cast<std::size_t>(c - '0')];
    switch (c) {
    case '!': return "--...-";
    case '"': return ".-..-.";
    case '(': return "-.--.";
    case ')': return "-.--.-";
    case ',': return "--..--";
    case '-': return "-....-";
    case '.': return ".-.-.-";
    case '/': return "-..-.";
    case ':': return "---...";
    case ';': return "-.-.-.";
    case '=': return "-...-";
    case '?': return "..--..";
    case '@': return ".--.-.";
    case '_': return "..--.-";
    default: return {};
    }
}

// The letter one symbol further down the code tree. Ä, Ö, Ü are kept as
// 'a', 'o', 'u' and the CH sign as 'c'; '#' is a sign the tree does not know.
char nextLetter(char letter, int position, bool isDot)
{
    auto pick = [isDot](char dot, char dash) { return isDot ? dot : dash; };
    switch (position) {
    case 0:
        return pick('E', 'T');
    case 1:
        switch (letter) {
        case 'E': return pick('I', 'A');
        case 'T': return pick('N', 'M');
        default: return letter;
        }
    case 2:
        switch (letter) {
        case 'A': return pick('R', 'W');
        case 'I': return pick('S', 'U');
        case 'M': return pick('G', 'O');
        case 'N': return pick('D', 'K');
        default: return letter;
        }
    case 3:
        switch (letter) {
        case 'S': return pick('H', 'V');
        case 'U': return pick('F', 'u');
        case 'W': return pick('P', 'J');
        case 'R': return pick('L', 'a');
        case 'D': return pick('B', 'X');
        case 'G': return pick('Z', 'Q');
        case 'K': return pick('C', 'Y');
        case 'O': return pick('o', 'c');
        default: return letter;
        }
    case 4:
        switch (letter) {
        case 'c': return pick('9', '0');
        case 'o': return pick('8', '#');
        case 'u': return pick('#', '2');
        case 'Z': return pick('7', '#');
        case 'B': return pick('6', '#');
        case 'H': return pick('5', '4');
        case 'J': return pick('#', '1');
        case 'V': return pick('#', '3');
        default: return '#';
        }
    default:
        return letter;
    }
}

std::string decodeMorse(std::string_view text, char dot, char dash)
{
    std::string out;
    char letter = ' ';
    int position = 0;
    for (const char c : text) {
        if (c == '/') {
            if (letter == 'c')
                out += "Ch";
            else
                out += letter;
            letter = ' ';
            position = 0;
            continue;
        }
        if (c == dot || c == dash)
            letter = nextLetter(letter, position, c == dot);
        if (position < 5) // nothing changes from the sixth symbol on
            ++position;
    }
    out += letter;
    return out;
}

std::string encodeMorse(std::string_view text, char dot, char dash)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte >= 0x80) {
            // One separator for the whole UTF-8 character, however many bytes.
            while (i + 1 < text.size() && (static_cast<unsigned char>(text[i + 1]) & 0xC0) == 0x80)
                ++i;
        } else {
            for (const char symbol : morseCode(upper(text[i])))
                out += symbol == '.' ? dot : dash;
        }
        out += '/';
    }
    return out;
}

std::string toRoman(long long n)
{
    static constexpr std::array<std::string_view, 10> kHundreds{"", "C", "CC", "CCC", "CD", "D", "DC", "DCC", "DCCC", "CM"};
    static constexpr std::array<std::string_view, 10> kTens{"", "X", "XX", "XXX", "XL", "L", "LX", "LXX", "LXXX", "XC"};
    static constexpr std::array<std::string_view, 10> kUnits{"", "I", "II", "III", "IV", "V", "VI", "VII", "VIII", "IX"};
    std::string out(static_cast<std::size_t>(n / 1000), 'M');
    out += kHundreds[static_cast<std::size_t>(n / 100 % 10)];
    out += kTens[static_cast<std::size_t>(n / 10 % 10)];
    out += kUnits[static_cast<std::size_t>(n % 10)];
    return out;
}

int romanValue(char c)
{
    switch (upper(c)) {
    case 'I': return 1;
    case 'V': return 5;
    case 'X': return 10;
    case 'L': return 50;
    case 'C': return 100;
    case 'D': return 500;
    case 'M': return 1000;
    default: return 0;
    }
}

int fromRoman(std::string_view text)
{
    std::array<int, 10> values{};
    std::size_t count = 0;
    for (; count < values.size() && count < text.size(); ++count) {
        values[count] = romanValue(text[count]);
        if (values[count] == 0)
            break;
    }
    int total = 0;
    for (std::size_t i = 0; i < count; ++i)
        total += (i + 1 < count && values[i + 1] > values[i]) ? -values[i] : values[i];
    return total;
}

// The leading integer as the C library's string-to-long reads it (blanks,
// sign, digits), held back from overflowing.
long long leadingLong(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < 1'000'000'000'000LL)
            value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

std::string inBase(std::uint32_t value, int base)
{
    char buffer[40];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, base);
    std::string out(buffer, ec == std::errc() ? end : buffer);
    for (char& c : out)
        c = upper(c);
    return out;
}

} // namespace

std::string rot13(std::string_view text)
{
    std::string out(text);
    bool rotating = true;
    for (char& c : out) {
        if (c == '[')
            rotating = false;
        else if (c == ']')
            rotating = true;
        else if (rotating && ((c >= 'A' && c <= 'M') || (c >= 'a' && c <= 'm')))
            c = static_cast<char>(c + 13);
        else if (rotating && ((c >= 'N' && c <= 'Z') || (c >= 'n' && c <= 'z')))
            c = static_cast<char>(c - 13);
    }
    return out;
}

std::string morse(std::string_view text, char dot, char dash)
{
    if (text.empty())
        return {};
    const bool isCode = text.find_first_not_of(".-/ ") == std::string_view::npos;
    return isCode ? decodeMorse(text, dot, dash) : encodeMorse(text, dot, dash);
}

std::string roman(std::string_view text, const NumberWords& words)
{
    const long long number = leadingLong(text);
    if (number != 0) {
        if (number < 1 || number > 9999)
            return words.error;
        return toRoman(number);
    }
    return std::to_string(fromRoman(text));
}

std::string numberBases(std::string_view text, int base, const NumberWords& words)
{
    if (base != 2 && base != 8 && base != 10 && base != 16)
        return words.error;
    const std::size_t first = text.find_first_not_of(" \t\r\n\v\f");
    const std::size_t last = text.find_last_not_of(" \t\r\n\v\f");
    const std::string_view digits = first == std::string_view::npos ? std::string_view{} : text.substr(first, last - first + 1);

    std::uint32_t value = 0;
    for (const char c : digits) {
        const char u = upper(c);
        int digit = 99;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        if (digit >= base)
            return words.error;
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }

    std::string out;
    if (base != 2)
        out += words.bin + ": " + (value == 0 ? std::string() : inBase(value, 2)) + "\r\n";
    if (base != 8)
        out += words.oct + ": " + inBase(value, 8) + "\r\n";
    if (base != 10)
        out += words.dec + ": " + inBase(value, 10) + "\r\n";
    if (base != 16)
        out += words.hex + ": " + inBase(value, 16) + "\r\n";
    return out;
}

} // namespace tw::geo

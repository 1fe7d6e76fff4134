// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// The simple codes puzzle caches hide their clues in. Pure functions from
// text to text (UTF-8); none of them fails on any input.
namespace tw::geo {

/** Letters A-M and N-Z swap 13 places, in both cases; text inside square
 *  brackets stays as it is (brackets do not nest). Also decodes cache hints. */
std::string rot13(std::string_view text);

/** Encodes text to Morse code, or decodes it when the text holds only ".",
 *  "-", "/" and blanks. Every encoded character ends with "/"; characters
 *  without a code give the "/" alone, so a word gap becomes "//". Decoding
 *  writes Ä, Ö, Ü as "a", "o", "u", the CH sign as "Ch" (as "c" when it ends
 *  the text), and unknown signs as "#". With dot '-' and dash '.' the code is
 *  inverted both ways. */
std::string morse(std::string_view text, char dot = '.', char dash = '-');

/** The words the number tools write: English unless the caller gives those
 *  of the user's language. */
struct NumberWords {
    std::string error = "Error";
    std::string bin = "Bin";
    std::string oct = "Oct";
    std::string dec = "Dec";
    std::string hex = "Hex";
};

/** A number 1 to 9999 becomes Roman numerals ("1994" → "MCMXCIV"); other
 *  numbers give words.error ("Error"). A text that does not start with a number other
 *  than 0 is read as numerals (either case, first ten characters) and
 *  written as a number ("mcmxciv" → "1994", "hello" → "0"). */
std::string roman(std::string_view text, const NumberWords& words);
inline std::string roman(std::string_view text)
{
    return roman(text, NumberWords{});
}

/** Reads an unsigned 32-bit number in base 2, 8, 10 or 16 (wrapping when
 *  longer) and writes it in the other three bases, one line each with CR LF:
 *  "Bin: ...", "Oct: ...", "Dec: ...", "Hex: ..." (the names from words).
 *  words.error for a character that is no digit of the base, or for another
 *  base. */
std::string numberBases(std::string_view text, int base, const NumberWords& words);
inline std::string numberBases(std::string_view text, int base)
{
    return numberBases(text, base, NumberWords{});
}

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml/CUtf8MemorySource.h"
#include "xml/Utf16.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace tw {
namespace {

std::string Encoded(char32_t c)
{
    std::string s;
    if (c < 0x80) {
        s += char(c);
    } else if (c < 0x800) {
        s += char(0xC0 | (c >> 6));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xE0 | (c >> 12));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
    return s;
}

TEST(Utf8Text, LettersOfEveryWidthComeThroughWholeAtAnyReadSize)
{
    // Runs of ASCII of every length between letters of two and three bytes,
    // so that each width falls at every place of a sixteen-byte block, read
    // in pieces of every size, and written back to the same bytes.
    std::mt19937 random(12);
    const std::u16string letters = u"áčďéěíňóřšťúůýžäöüßÄÖÜ€…–αβγжщ";
    std::string utf8;
    std::u16string units;
    for (int i = 0; i < 4000; ++i) {
        const int run = int(random() % 40);
        for (int k = 0; k < run; ++k) {
            const char c = char('a' + random() % 26);
            utf8 += c;
            units += char16_t(c);
        }
        const char16_t letter = letters[random() % letters.size()];
        utf8 += Encoded(letter);
        units += letter;
    }
    for (std::size_t piece : {1u, 7u, 15u, 16u, 17u, 33u, 1000u, 8191u}) {
        CUtf8MemorySource source(utf8);
        std::u16string read;
        std::u16string buffer(piece, u'\0');
        while (const std::size_t n = source.getChars(buffer.data(), piece))
            read.append(buffer, 0, n);
        ASSERT_EQ(read, units) << "read " << piece << " at a time";
    }
    EXPECT_EQ(toUtf8(units), utf8);
    std::string appended = "prefix ";
    appendUtf8(appended, units);
    EXPECT_EQ(appended, "prefix " + utf8);
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml/CUtf8MemorySource.h"
#include "xml/Utf16.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    } else if (c < 0x10000) {
        s += char(0xE0 | (c >> 12));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    } else {
        s += char(0xF0 | (c >> 18));
        s += char(0x80 | ((c >> 12) & 0x3F));
        s += char(0x80 | ((c >> 6) & 0x3F));
        s += char(0x80 | (c & 0x3F));
    }
    return s;
}

std::u16string Units(char32_t c)
{
    if (c < 0x10000)
        return std::u16string(1, char16_t(c));
    return {char16_t(0xD800 + ((c - 0x10000) >> 10)), char16_t(0xDC00 + ((c - 0x10000) & 0x3FF))};
}

// Hands its bytes to the decoder a few at a time, so that a sequence falls
// across two refills.
class PieceSource final : public CUtf8Decoder {
public:
    PieceSource(std::string_view bytes, std::size_t piece) : m_bytes(bytes), m_piece(piece) {}

protected:
    bool refill() override
    {
        if (m_at >= m_bytes.size())
            return false;
        m_pos = reinterpret_cast<const unsigned char*>(m_bytes.data()) + m_at;
        m_at = std::min(m_bytes.size(), m_at + m_piece);
        m_end = reinterpret_cast<const unsigned char*>(m_bytes.data()) + m_at;
        return true;
    }

private:
    std::string_view m_bytes;
    std::size_t m_piece;
    std::size_t m_at = 0;
};

std::u16string readAll(CUtf8Decoder& source, std::size_t units)
{
    std::u16string read;
    std::u16string buffer(units, u'\0');
    while (const std::size_t n = source.getChars(buffer.data(), units))
        read.append(buffer, 0, n);
    return read;
}

TEST(Utf8Text, LettersOfEveryWidthComeThroughWholeAtAnyReadSize)
{
    // Runs of ASCII of every length between letters of two and three bytes,
    // so that each width falls at every place of a sixteen-byte block, read
    // in pieces of every size, and written back to the same bytes.
    std::mt19937 random(12);
    const std::u32string letters = U"áčďéěíňóřšťúůýžäöüßÄÖÜ€…–αβγжщ📯💯😀𠀋𝄞";
    std::string utf8;
    std::u16string units;
    for (int i = 0; i < 4000; ++i) {
        const int run = int(random() % 40);
        for (int k = 0; k < run; ++k) {
            const char c = char('a' + random() % 26);
            utf8 += c;
            units += char16_t(c);
        }
        const char32_t letter = letters[random() % letters.size()];
        utf8 += Encoded(letter);
        units += Units(letter);
    }
    for (std::size_t piece : {1u, 7u, 15u, 16u, 17u, 33u, 1000u, 8191u}) {
        CUtf8MemorySource source(utf8);
        ASSERT_EQ(readAll(source, piece), units) << "read " << piece << " at a time";
    }
    // The bytes of a sequence in two refills, the units in reads of any size.
    for (std::size_t bytes : {1u, 2u, 3u, 5u, 4099u}) {
        for (std::size_t piece : {1u, 2u, 3u, 1024u}) {
            PieceSource source(utf8, bytes);
            ASSERT_EQ(readAll(source, piece), units) << bytes << " bytes a refill, " << piece << " units a read";
        }
    }
    EXPECT_EQ(toUtf16(utf8), units);
    EXPECT_EQ(toUtf8(units), utf8);
    std::string appended = "prefix ";
    appendUtf8(appended, units);
    EXPECT_EQ(appended, "prefix " + utf8);
}

TEST(Utf8Text, WhatIsNoCharacterBecomesTheReplacementCharacter)
{
    const std::string bad = "\xEF\xBF\xBD";
    // Bytes that are no UTF-8, each way they come: a stray continuation byte,
    // an invalid lead byte, a sequence cut short (by an ASCII byte, by a lead
    // byte, by the end), an overlong form, an encoded surrogate and a code
    // point beyond U+10FFFF. Each is one U+FFFD; the byte that breaks a
    // sequence off stays itself.
    const std::string input =
        "a\x80" "b\xFF" "c\xF0\x9F\x93" "d\xF0\x9F\xE2\x82\xAC" "e\xE0\x80\xAF" "f\xED\xA0\xBD" "g\xF4\x90\x80\x80" "h\xF0\x9F";
    const std::string expected =
        "a" + bad + "b" + bad + "c" + bad + "d" + bad + "\xE2\x82\xAC" "e" + bad + "f" + bad + "g" + bad + "h" + bad;
    EXPECT_EQ(toUtf8(toUtf16(input)), expected);
    for (std::size_t bytes : {1u, 3u, 64u}) {
        PieceSource source(input, bytes);
        EXPECT_EQ(toUtf8(readAll(source, 2)), expected) << bytes;
    }

    // Unpaired surrogates in UTF-16, alone, at the end, reversed, or before
    // another high surrogate, never reach the UTF-8.
    const std::u16string units = {u'a', 0xD83D, u'b', 0xDCAF, u'c', 0xDCAF, 0xD83D, 0xD83D, 0xDCAF, 0xD83D};
    EXPECT_EQ(toUtf8(units), "a" + bad + "b" + bad + "c" + bad + bad + "\xF0\x9F\x92\xAF" + bad);
    // The same in the eight-unit stretches that are copied at once.
    const std::u16string ascii(13, u'x');
    EXPECT_EQ(toUtf8(ascii + char16_t(0xD83D) + ascii + Units(0x1F4EF)),
              std::string(13, 'x') + bad + std::string(13, 'x') + "\xF0\x9F\x93\xAF");
}

} // namespace
} // namespace tw

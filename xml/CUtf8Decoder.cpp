// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml/CUtf8Decoder.h"

#include <unicode/ucnv.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <string_view>

namespace tw {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isNameByte(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == ':';
}

// The encoding named in an XML declaration at the start of the bytes
// ('<?xml version="1.0" encoding="ISO-8859-1"?>'), or empty.
std::string declaredEncoding(std::string_view head)
{
    if (!head.starts_with("<?xml"))
        return {};
    head = head.substr(0, head.find("?>"));
    std::size_t at = head.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at += 8;
    const auto skipSpace = [&] {
        while (at < head.size() && (head[at] == ' ' || head[at] == '\t' || head[at] == '\r' || head[at] == '\n'))
            ++at;
    };
    skipSpace();
    if (at >= head.size() || head[at] != '=')
        return {};
    ++at;
    skipSpace();
    if (at >= head.size() || (head[at] != '"' && head[at] != '\''))
        return {};
    const char quote = head[at++];
    const std::size_t from = at;
    while (at < head.size() && isNameByte(head[at]))
        ++at;
    if (at >= head.size() || head[at] != quote || at == from)
        return {};
    return std::string(head.substr(from, at - from));
}

} // namespace

CUtf8Decoder::~CUtf8Decoder()
{
    if (m_converter)
        ucnv_close(m_converter);
}

// Settles the encoding from the first bytes: a byte-order mark, the look of
// UTF-16 without one, or the encoding named by the XML declaration.
void CUtf8Decoder::start()
{
    m_started = true;
    if (m_pos == m_end && !refill())
        return;
    const std::string_view head(reinterpret_cast<const char*>(m_pos), static_cast<std::size_t>(m_end - m_pos));
    const char* unicode = nullptr;
    std::size_t mark = 0;
    if (head.starts_with("\xEF\xBB\xBF")) {
        m_pos += 3;
        return;
    }
    if (head.starts_with(std::string_view("\xFF\xFE\0\0", 4)))
        unicode = "UTF-32LE", mark = 4;
    else if (head.starts_with(std::string_view("\0\0\xFE\xFF", 4)))
        unicode = "UTF-32BE", mark = 4;
    else if (head.starts_with("\xFF\xFE"))
        unicode = "UTF-16LE", mark = 2;
    else if (head.starts_with("\xFE\xFF"))
        unicode = "UTF-16BE", mark = 2;
    else if (head.size() >= 4 && head[0] == '<' && head[1] == 0 && head[2] != 0 && head[3] == 0)
        unicode = "UTF-16LE"; // '<' and the next ASCII character, without a mark
    else if (head.size() >= 4 && head[0] == 0 && head[1] == '<' && head[2] == 0 && head[3] != 0)
        unicode = "UTF-16BE";

    std::string name;
    if (unicode) {
        name = unicode;
    } else {
        name = declaredEncoding(head);
        if (name.empty())
            return;
    }
    UErrorCode error = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name.c_str(), &error);
    if (U_FAILURE(error) || !converter) {
        m_unknownEncoding = name;
        return;
    }
    // The declaration was read as ASCII, so a document that declares a
    // Unicode form without a byte-order mark is really UTF-8 (plain ASCII
    // counts as UTF-8 too, which takes stray 8-bit letters more kindly).
    const std::string_view canonical = ucnv_getName(converter, &error);
    if (!unicode && (canonical == "UTF-8" || canonical == "US-ASCII" || canonical.starts_with("UTF-16") ||
                     canonical.starts_with("UTF-32"))) {
        ucnv_close(converter);
        return;
    }
    m_converter = converter;
    m_encoding = name;
    m_pos += mark;
}

char16_t CUtf8Decoder::GetChar()
{
    char16_t c = 0;
    return getChars(&c, 1) == 1 ? c : u'\0';
}

// One UTF-8 sequence that is not plain ASCII (or a NUL, which gives 0).
char32_t CUtf8Decoder::utf8Sequence()
{
    const int b0 = readByte();
    if (b0 <= 0)
        return 0;
    if (b0 < 0x80)
        return static_cast<char32_t>(b0);
    int follow = 0;
    char32_t c = 0;
    char32_t least = 0; // below it the sequence is overlong
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        follow = 1;
        c = static_cast<char32_t>(b0 & 0x1F);
        least = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        follow = 2;
        c = static_cast<char32_t>(b0 & 0x0F);
        least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        follow = 3;
        c = static_cast<char32_t>(b0 & 0x07);
        least = 0x10000;
    } else {
        return kReplacement; // a stray continuation byte or an invalid lead byte
    }
    for (int i = 0; i < follow; ++i) {
        const int b = readByte();
        if (b < 0)
            return kReplacement;
        if ((b & 0xC0) != 0x80) {
            // Not part of this sequence: it starts the next one.
            unreadByte();
            return kReplacement;
        }
        c = (c << 6) | static_cast<char32_t>(b & 0x3F);
    }
    if (c < least || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        return kReplacement; // overlong, a surrogate, or beyond Unicode
    return c;
}

// Through the converter of a declared encoding: as many units as it gives
// for the bytes at hand, and what it still holds once the bytes are used up.
std::size_t CUtf8Decoder::convert(char16_t* out, std::size_t max)
{
    char16_t* target = out;
    char16_t* const limit = out + max;
    while (target < limit && !m_ended) {
        UErrorCode error = U_ZERO_ERROR;
        const bool last = m_pos == m_end && !refill();
        const char* source = reinterpret_cast<const char*>(m_pos);
        ucnv_toUnicode(m_converter, &target, limit, &source, reinterpret_cast<const char*>(m_end), nullptr, last,
                       &error);
        m_pos = reinterpret_cast<const unsigned char*>(source);
        target = std::remove(out, target, u'\0');
        if (error == U_BUFFER_OVERFLOW_ERROR)
            continue;
        if (last || U_FAILURE(error))
            m_ended = true;
    }
    return static_cast<std::size_t>(target - out);
}

std::size_t CUtf8Decoder::getChars(char16_t* out, std::size_t max)
{
    if (!m_started)
        start();
    if (m_converter)
        return convert(out, max);
    std::size_t n = 0;
    if (m_pendingLow && max > 0) {
        out[n++] = m_pendingLow;
        m_pendingLow = 0;
    }
    while (n < max) {
        if (m_pos == m_end && !refill())
            break;
        // Plain ASCII, the bulk of every file, without a call per byte;
        // sixteen bytes at a time where the processor can.
#if defined(__SSE2__)
        while (n + 16 <= max && m_end - m_pos >= 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_pos));
            const __m128i zero = _mm_setzero_si128();
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n), _mm_unpacklo_epi8(bytes, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + n + 8), _mm_unpackhi_epi8(bytes, zero));
            // A NUL or a byte with its high bit set needs the slow way; the
            // bytes before it are taken.
            const int slow = _mm_movemask_epi8(bytes) | _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero));
            const int run = slow ? __builtin_ctz(static_cast<unsigned>(slow)) : 16;
            n += static_cast<std::size_t>(run);
            m_pos += run;
            if (slow)
                break;
        }
#endif
        while (n < max && m_pos < m_end && static_cast<unsigned>(*m_pos - 1) < 0x7Fu)
            out[n++] = *m_pos++;
        if (n == max || m_pos == m_end)
            continue;
        // A two-byte letter (Latin, Greek, Cyrillic) whole in the buffer.
        if (m_end - m_pos >= 2 && m_pos[0] >= 0xC2 && m_pos[0] <= 0xDF && (m_pos[1] & 0xC0) == 0x80) {
            out[n++] = static_cast<char16_t>(((m_pos[0] & 0x1F) << 6) | (m_pos[1] & 0x3F));
            m_pos += 2;
            continue;
        }
        // A longer sequence, a NUL (none) or bad input (U+FFFD).
        const char32_t c = utf8Sequence();
        if (c >= 0x10000) {
            out[n++] = static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            const auto low = static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
            if (n < max)
                out[n++] = low;
            else
                m_pendingLow = low;
        } else if (c != 0) {
            out[n++] = static_cast<char16_t>(c);
        }
    }
    return n;
}

} // namespace tw

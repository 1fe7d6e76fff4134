// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml/Utf16.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

char* encodeUtf8(char* o, char32_t c)
{
    if (c < 0x800) {
        *o++ = static_cast<char>(0xC0 | (c >> 6));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<char>(0xE0 | (c >> 12));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<char>(0xF0 | (c >> 18));
        *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return o;
}

} // namespace

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    appendUtf8(out, text);
    return out;
}

void appendUtf8(std::string& out, std::u16string_view text)
{
    const std::size_t start = out.size();
    out.resize(start + text.size() * 3);
    char* o = out.data() + start;
    std::size_t i = 0;
    while (i < text.size()) {
#if defined(__SSE2__)
        // Eight units at a time while they are ASCII, as most text is, and
        // the ASCII start of the eight that are not. The out buffer has three
        // bytes for every unit still to come, so eight bytes always fit.
        const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
        while (i + 8 <= text.size()) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
            const int ascii =
                _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, nonAscii), _mm_setzero_si128()));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(units, units));
            if (ascii != 0xFFFF) {
                const int run = __builtin_ctz(static_cast<unsigned>(~ascii)) / 2;
                o += run;
                i += static_cast<std::size_t>(run);
                break;
            }
            o += 8;
            i += 8;
        }
        if (i == text.size())
            break;
#endif
        char32_t c = text[i++];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        o = encodeUtf8(o, c);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

// A malformed sequence (a stray continuation byte, a lead byte without its
// continuation, an overlong form, an encoded surrogate, beyond U+10FFFF)
// gives one U+FFFD; a byte that breaks a sequence off starts the next one.
char32_t nextUtf8(std::string_view text, std::size_t& i)
{
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char b0 = byte(i++);
    if (b0 < 0x80)
        return b0;
    const std::size_t follow = b0 >= 0xC2 && b0 <= 0xDF   ? 1
                               : (b0 & 0xF0) == 0xE0      ? 2
                               : b0 >= 0xF0 && b0 <= 0xF4 ? 3
                                                          : 0;
    char32_t c = follow == 1 ? b0 & 0x1Fu : follow == 2 ? b0 & 0x0Fu : b0 & 0x07u;
    std::size_t k = 0;
    while (k < follow && i < text.size() && (byte(i) & 0xC0) == 0x80) {
        c = (c << 6) | (byte(i++) & 0x3Fu);
        ++k;
    }
    static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    return follow == 0 || k < follow || c < kLeast[follow] || c > 0x10FFFF ? kNotUtf8 : c;
}

std::u16string toUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        if (static_cast<unsigned char>(utf8[i]) < 0x80) {
            out += static_cast<char16_t>(utf8[i++]);
            continue;
        }
        char32_t c = nextUtf8(utf8, i);
        if (c == kNotUtf8 || (c >= 0xD800 && c <= 0xDFFF)) {
            out += kReplacement;
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

} // namespace tw

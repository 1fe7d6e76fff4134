// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/XmlCharSource.h"

namespace tw {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::size_t kReadBufferBytes = 64 * 1024;

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

char16_t CUtf8Decoder::GetChar()
{
    const int b0 = readByte();
    if (b0 <= 0)
        return 0;
    int follow = 0;
    char32_t c = 0;
    if (b0 < 0x80)
        return static_cast<char16_t>(b0);
    if ((b0 & 0xE0) == 0xC0) {
        follow = 1;
        c = static_cast<char32_t>(b0 & 0x1F);
    } else if ((b0 & 0xF0) == 0xE0) {
        follow = 2;
        c = static_cast<char32_t>(b0 & 0x0F);
    } else if ((b0 & 0xF8) == 0xF0) {
        follow = 3;
        c = static_cast<char32_t>(b0 & 0x07);
    } else {
        return 0; // a stray continuation byte or an invalid lead byte
    }
    for (int i = 0; i < follow; ++i) {
        const int b = readByte();
        if (b <= 0)
            return 0;
        if ((b & 0xC0) != 0x80) {
            // Not part of this sequence: it starts the next one.
            unreadByte();
            return 0;
        }
        c = (c << 6) | static_cast<char32_t>(b & 0x3F);
    }
    if (follow == 3)
        return kReplacement; // beyond one UTF-16 unit; must not end the input
    return static_cast<char16_t>(c);
}

std::size_t CUtf8Decoder::GetChars(char16_t* out, std::size_t max)
{
    std::size_t n = 0;
    while (n < max) {
        if (m_pos == m_end && !refill())
            break;
        // Plain ASCII, the bulk of every file, without a call per byte.
        while (n < max && m_pos < m_end && static_cast<unsigned>(*m_pos - 1) < 0x7Fu)
            out[n++] = *m_pos++;
        if (n == max || m_pos == m_end)
            continue;
        out[n++] = GetChar(); // a longer sequence, a NUL or bad input
    }
    return n;
}

CUtf8FileSource::CUtf8FileSource(const std::filesystem::path& path)
    : m_file(std::fopen(path.c_str(), "rb")), m_buffer(kReadBufferBytes)
{
}

CUtf8FileSource::~CUtf8FileSource()
{
    if (m_file)
        std::fclose(m_file);
}

bool CUtf8FileSource::refill()
{
    if (!m_file)
        return false;
    const std::size_t n = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
    if (n == 0)
        return false;
    m_filled += static_cast<long long>(n);
    m_pos = m_buffer.data();
    m_end = m_pos + n;
    return true;
}

std::string toUtf8(std::u16string_view text)
{
    std::string out(text.size() * 3, '\0');
    char* o = out.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        o = encodeUtf8(o, c);
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::u16string toUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto b0 = static_cast<unsigned char>(utf8[i]);
        int follow = b0 < 0x80 ? 0 : (b0 & 0xE0) == 0xC0 ? 1 : (b0 & 0xF0) == 0xE0 ? 2 : (b0 & 0xF8) == 0xF0 ? 3 : -1;
        if (follow < 0 || i + static_cast<std::size_t>(follow) >= utf8.size()) {
            out += kReplacement;
            ++i;
            continue;
        }
        char32_t c = follow == 0 ? b0 : follow == 1 ? (b0 & 0x1F) : follow == 2 ? (b0 & 0x0F) : (b0 & 0x07);
        bool ok = true;
        for (int k = 1; k <= follow; ++k) {
            const auto b = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            if ((b & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (b & 0x3F);
        }
        if (!ok) {
            out += kReplacement;
            ++i;
            continue;
        }
        i += static_cast<std::size_t>(follow) + 1;
        if (c >= 0x10000) {
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

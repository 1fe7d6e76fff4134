// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/XmlCharSource.h"

namespace tw {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr std::size_t kReadBufferBytes = 64 * 1024;

void appendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
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

CUtf8FileSource::CUtf8FileSource(const std::filesystem::path& path)
    : m_file(std::fopen(path.c_str(), "rb")), m_buffer(kReadBufferBytes)
{
}

CUtf8FileSource::~CUtf8FileSource()
{
    if (m_file)
        std::fclose(m_file);
}

int CUtf8FileSource::readByte()
{
    if (m_pos == m_len) {
        if (!m_file)
            return -1;
        m_len = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
        m_pos = 0;
        if (m_len == 0)
            return -1;
    }
    ++m_consumed;
    return m_buffer[m_pos++];
}

void CUtf8FileSource::unreadByte()
{
    // The byte read last is always still in the buffer: a refill happens
    // only when the buffer is used up, and an unread follows a read.
    if (m_pos > 0) {
        --m_pos;
        --m_consumed;
    }
}

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        appendUtf8(out, c);
    }
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "xml/CXmlTokenizer.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tw {
namespace {

bool isSpace(char16_t c)
{
    return c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}

bool isAlnum(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool nameIs(const std::array<char, CXmlTokenizer::kMaxName + 1>& name, std::size_t length, const char* what)
{
    return length == std::strlen(what) && std::memcmp(name.data(), what, length) == 0;
}

} // namespace

char16_t CXmlTokenizer::read()
{
    if (m_pushBack) {
        const char16_t c = m_pushBack;
        m_pushBack = 0;
        return c;
    }
    if (m_inputPos == m_inputLength) {
        m_inputLength = m_source.getChars(m_input.data(), m_input.size());
        m_inputPos = 0;
        if (m_inputLength == 0)
            return 0;
    }
    return m_input[m_inputPos++];
}

char16_t CXmlTokenizer::skipWhitespace()
{
    char16_t c = read();
    while (c && isSpace(c))
        c = read();
    return c;
}

void CXmlTokenizer::appendValue(char16_t c)
{
    if (m_valueLength < kMaxValue)
        m_value[m_valueLength++] = c;
}

void CXmlTokenizer::appendName(std::array<char, kMaxName + 1>& name, std::size_t& length, char16_t c)
{
    if (length < kMaxName)
        name[length++] = static_cast<char>(c & 0xFF);
}

const char* CXmlTokenizer::GetTagName()
{
    m_tagName[m_tagNameLength] = 0;
    return m_tagName.data();
}

const char* CXmlTokenizer::GetAttrName()
{
    m_attrName[m_attrNameLength] = 0;
    return m_attrName.data();
}

char16_t CXmlTokenizer::ResolveEntity(const char16_t*, std::size_t)
{
    return 0;
}

// After "&#": digits up to ';'. A malformed reference comes out as the
// text it was, so nothing is lost.
char16_t CXmlTokenizer::characterReference()
{
    constexpr std::size_t kMaxDigits = 8;
    char16_t c = read();
    const bool hex = c == u'x' || c == u'X';
    const char16_t marker = c;
    if (hex)
        c = read();
    char32_t code = 0;
    std::u16string_view digits;
    char16_t seen[kMaxDigits] = {};
    std::size_t count = 0;
    for (; c != 0 && c != u';' && count < kMaxDigits; c = read()) {
        int d = -1;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (hex && c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (hex && c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        if (d < 0)
            break;
        seen[count++] = c;
        code = code * (hex ? 16 : 10) + static_cast<char32_t>(d);
    }
    digits = std::u16string_view(seen, count);
    if (c != u';' || count == 0 || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        // Not a reference after all: give back the text as it stood.
        std::u16string_view text = u"&#";
        char16_t kept[kMaxDigits + 4] = {};
        std::size_t n = 0;
        for (char16_t t : text)
            kept[n++] = t;
        if (hex)
            kept[n++] = marker;
        for (char16_t d : digits)
            kept[n++] = d;
        if (c == u';')
            kept[n++] = c;
        else
            m_pushBack = c;
        for (std::size_t i = 0; i + 1 < n; ++i)
            appendValue(kept[i]);
        return kept[n - 1];
    }
    if (code >= 0x10000) {
        code -= 0x10000;
        appendValue(static_cast<char16_t>(0xD800 + (code >> 10)));
        return static_cast<char16_t>(0xDC00 + (code & 0x3FF));
    }
    return static_cast<char16_t>(code);
}

char16_t CXmlTokenizer::entity()
{
    constexpr std::size_t kMaxEntity = 31;
    char16_t name[kMaxEntity + 1] = {};
    std::size_t length = 0;
    while (length < kMaxEntity) {
        const char16_t c = read();
        if (c == 0)
            return 0;
        if (c == u'#' && length == 0 && m_decodeReferences)
            return characterReference();
        if (!isAlnum(c))
            break; // the terminator is consumed
        name[length++] = c;
    }
    const std::u16string_view n(name, length);
    if (n == u"gt")
        return u'>';
    if (n == u"lt")
        return u'<';
    if (n == u"amp")
        return u'&';
    if (n == u"apos")
        return u'\'';
    if (n == u"quot")
        return u'"';
    if (const char16_t r = ResolveEntity(name, length))
        return r;
    appendValue(u'&');
    for (char16_t c : n)
        appendValue(c);
    return u';';
}

int CXmlTokenizer::NextToken()
{
    switch (m_state) {
    case State::Content:
        return content();
    case State::Attributes:
        return attributes();
    case State::Comment:
        return section(u'-', u'-', u'>', XT_COMMENT_END);
    case State::CData:
        return section(u']', u']', u'>', XT_CDATA_END);
    case State::Declaration:
        return declaration();
    }
    return XT_END;
}

int CXmlTokenizer::content()
{
    m_valueLength = 0;
    char16_t c = read();
    if (c == 0)
        return XT_END;
    if (c == u'<')
        return markup();
    if (m_wholeTexts)
        return wholeText(c);
    bool space = false;
    if (c == u'&')
        c = entity();
    else
        space = isSpace(c);
    // An unreadable unit right after '&' ends only this run.
    while (c != 0) {
        appendValue(c);
        c = read();
        if (c == 0 || c == u'<' || c == u'&' || isSpace(c) != space)
            break;
    }
    m_pushBack = c;
    return space ? XT_SPACE : XT_TEXT;
}

// Text up to the next markup, c its first unit. The units at hand in the
// read-ahead buffer are copied in one loop rather than read one by one.
int CXmlTokenizer::wholeText(char16_t c)
{
    // Room left for what one more entity may append (an unknown name is
    // given back whole) so that nothing is cut off at the end of a run.
    constexpr std::size_t kRunEnd = kMaxValue - 64;
    for (;;) {
        if (c == u'&') {
            c = entity();
            if (c == 0)
                return XT_TEXT;
        }
        appendValue(c);
        if (!m_pushBack) {
            const std::size_t stop = std::min(m_inputLength, m_inputPos + (kRunEnd - std::min(kRunEnd, m_valueLength)));
            std::size_t pos = m_inputPos;
#if defined(__SSE2__)
            // Eight units at a time up to the first that ends the copy.
            const __m128i lt = _mm_set1_epi16(u'<');
            const __m128i amp = _mm_set1_epi16(u'&');
            const __m128i zero = _mm_setzero_si128();
            while (pos + 8 <= stop) {
                const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_input.data() + pos));
                const __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(units, lt), _mm_cmpeq_epi16(units, amp)),
                                                 _mm_cmpeq_epi16(units, zero));
                if (_mm_movemask_epi8(hit) != 0)
                    break;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(m_value.data() + m_valueLength), units);
                m_valueLength += 8;
                pos += 8;
            }
#endif
            while (pos < stop) {
                const char16_t u = m_input[pos];
                if (u == u'<' || u == u'&' || u == 0)
                    break;
                m_value[m_valueLength++] = u;
                ++pos;
            }
            m_inputPos = pos;
        }
        if (m_valueLength >= kRunEnd) {
            // A character beyond U+FFFF stays whole: its first surrogate
            // begins the next run.
            if (isHighSurrogate(m_value[m_valueLength - 1]) && !m_pushBack)
                m_pushBack = m_value[--m_valueLength];
            return XT_TEXT;
        }
        c = read();
        if (c == 0 || c == u'<') {
            m_pushBack = c;
            return XT_TEXT;
        }
    }
}

int CXmlTokenizer::markup()
{
    m_tagNameLength = 0;
    char16_t c = read();
    const bool closing = c == u'/';
    if (closing)
        c = read();
    if (c == 0)
        return XT_ERROR;
    for (;;) {
        if (isSpace(c)) {
            c = skipWhitespace();
            break;
        }
        if (c == u'/' || c == u'>')
            break;
        appendName(m_tagName, m_tagNameLength, c);
        if (nameIs(m_tagName, m_tagNameLength, "!--")) {
            m_state = State::Comment;
            return XT_COMMENT_START;
        }
        if (nameIs(m_tagName, m_tagNameLength, "!ENTITY")) {
            m_state = State::Declaration;
            return XT_DECL_START;
        }
        if (nameIs(m_tagName, m_tagNameLength, "![CDATA[")) {
            m_state = State::CData;
            return XT_CDATA_START;
        }
        c = read();
        if (c == 0)
            return XT_ERROR;
    }
    if (c == 0)
        return XT_ERROR;
    if (closing)
        return c == u'>' ? XT_END_TAG : XT_ERROR;
    m_pushBack = c;
    m_state = State::Attributes;
    return XT_START_TAG;
}

int CXmlTokenizer::attributes()
{
    char16_t c = skipWhitespace();
    if (c == u'>') {
        m_state = State::Content;
        return content();
    }
    if (c == u'/') {
        const char16_t c2 = read();
        if (c2 == u'>') {
            m_state = State::Content;
            return XT_END_TAG;
        }
        m_pushBack = c2;
        return XT_ERROR;
    }
    m_attrNameLength = 0;
    m_valueLength = 0;
    while (c != u'=') {
        if (c == 0)
            return XT_END;
        if (c == u'>') {
            m_pushBack = c;
            return XT_ATTRIBUTE;
        }
        if (isSpace(c)) {
            c = skipWhitespace();
            if (c == u'=')
                break;
            m_pushBack = c;
            return XT_ATTRIBUTE;
        }
        if (c == u'<')
            return XT_ERROR;
        appendName(m_attrName, m_attrNameLength, c);
        c = read();
    }
    const char16_t q = skipWhitespace();
    if (q == u'"' || q == u'\'') {
        c = read();
        if (c == 0)
            return XT_ERROR;
        for (;;) {
            if (c == q)
                return XT_ATTRIBUTE;
            if (c == u'&') {
                c = entity();
                if (c == 0)
                    return XT_ERROR;
            }
            appendValue(c);
            c = read();
            if (c == 0)
                return XT_ERROR;
        }
    }
    c = q;
    for (;;) {
        if (c == 0)
            return XT_ERROR;
        if (isSpace(c))
            return XT_ATTRIBUTE;
        if (c == u'>') {
            m_pushBack = c;
            return XT_ATTRIBUTE;
        }
        appendValue(c);
        c = read();
    }
}

// Comment and CDATA content up to a three-unit terminator, in chunks. A
// full chunk keeps back its last units while they could begin the
// terminator; the next chunk starts with them.
int CXmlTokenizer::section(char16_t a, char16_t b, char16_t c, int endToken)
{
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_state = State::Content;
        return endToken;
    }
    const std::size_t kept = m_kept;
    std::copy(m_value.begin() + static_cast<std::ptrdiff_t>(m_valueLength),
              m_value.begin() + static_cast<std::ptrdiff_t>(m_valueLength + kept), m_value.begin());
    m_valueLength = kept;
    m_kept = 0;
    for (;;) {
        const char16_t ch = read();
        if (ch == 0)
            return XT_END;
        m_value[m_valueLength] = ch;
        if (m_valueLength >= 2 && m_value[m_valueLength - 2] == a && m_value[m_valueLength - 1] == b && ch == c) {
            m_valueLength -= 2;
            m_pendingEnd = true;
            return XT_CHUNK;
        }
        if (++m_valueLength == kMaxValue) {
            if (m_value[kMaxValue - 2] == a && m_value[kMaxValue - 1] == b)
                m_kept = 2;
            else if (m_value[kMaxValue - 1] == a || isHighSurrogate(m_value[kMaxValue - 1]))
                m_kept = 1; // also the first half of a character beyond U+FFFF
            m_valueLength -= m_kept;
            return XT_CHUNK;
        }
    }
}

int CXmlTokenizer::declaration()
{
    if (m_pendingEnd) {
        m_pendingEnd = false;
        m_state = State::Content;
        return XT_DECL_END;
    }
    m_valueLength = 0;
    for (;;) {
        const char16_t ch = read();
        if (ch == 0)
            return XT_END;
        if (ch == u'>' && !m_inQuotes) {
            m_pendingEnd = true;
            return XT_CHUNK;
        }
        if (ch == u'"')
            m_inQuotes = !m_inQuotes;
        m_value[m_valueLength] = ch;
        if (++m_valueLength == kMaxValue)
            return XT_CHUNK;
    }
}

} // namespace tw

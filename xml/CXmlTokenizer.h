// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CXmlCharSource.h"
#include "xml/Utf16.h"

#include <array>
#include <string>
#include <string_view>

namespace tw {

// Token codes of CXmlTokenizer::NextToken.
enum XmlToken : int {
    XT_ERROR = -1,
    XT_END = 0,
    XT_START_TAG = 1,
    XT_END_TAG = 2,
    XT_ATTRIBUTE = 3,
    XT_TEXT = 4,
    XT_SPACE = 5,
    XT_CHUNK = 6,
    XT_COMMENT_START = 7,
    XT_COMMENT_END = 8,
    XT_CDATA_START = 9,
    XT_CDATA_END = 10,
    XT_DECL_START = 13,
    XT_DECL_END = 14,
};

// A small pull tokenizer for the XML the program reads: GPX files, map
// configurations, service responses. No element stack, no namespaces (a
// prefix is part of the name), no validation: bad markup gives XT_ERROR and
// the next call goes on after it, so a loop until XT_END always ends.
// It allocates nothing; its buffers are part of the object.
//
// Only the five predefined entities are decoded. Numeric references are not:
// "&#xD;" arrives as "&;xD;" and unknown names such as "&nbsp;" pass through.
class CXmlTokenizer {
public:
    static constexpr std::size_t kMaxValue = 8191; // UTF-16 units of a value
    static constexpr std::size_t kMaxName = 127;   // bytes of a tag or attribute name

    explicit CXmlTokenizer(CXmlCharSource& source) : m_source(source) {}
    virtual ~CXmlTokenizer() = default;
    CXmlTokenizer(const CXmlTokenizer&) = delete;
    CXmlTokenizer& operator=(const CXmlTokenizer&) = delete;

    int NextToken();

    // Decodes numeric character references ("&#xFC;", "&#252;") as well.
    // Off by default: some readers look for the undecoded "&;xD;" form.
    void setDecodeCharacterReferences(bool on) { m_decodeReferences = on; }
    // Element text comes as long XT_TEXT runs with entities decoded inside
    // them, instead of a token per word, per run of blanks and per entity,
    // for readers that only join the pieces (the pocket-query import). A run
    // ends before the value buffer is full; the next token goes on with it.
    // A run, like a comment or CDATA chunk, never ends between the two
    // surrogates of a character beyond U+FFFF.
    void setWholeTexts(bool on) { m_wholeTexts = on; }

    // Valid until the next tag is read. Each name unit keeps its low 8 bits.
    const char* GetTagName();
    // Valid until the next attribute.
    const char* GetAttrName();
    // Valid until the next NextToken().
    std::u16string_view GetValue() const { return {m_value.data(), m_valueLength}; }
    std::string getValueUtf8() const { return toUtf8(GetValue()); }

protected:
    // Replacement unit for an entity other than the predefined five; 0 when unknown.
    virtual char16_t ResolveEntity(const char16_t* name, std::size_t length);

private:
    enum class State { Content, Attributes, Comment, CData, Declaration };

    char16_t read();
    char16_t skipWhitespace();
    void appendValue(char16_t c);
    void appendName(std::array<char, kMaxName + 1>& name, std::size_t& length, char16_t c);
    char16_t entity();
    char16_t characterReference();
    int content();
    int wholeText(char16_t c);
    int markup();
    int attributes();
    int section(char16_t a, char16_t b, char16_t c, int endToken);
    int declaration();

    CXmlCharSource& m_source;
    std::array<char16_t, kMaxValue + 1> m_value{};
    std::size_t m_valueLength = 0;
    std::array<char, kMaxName + 1> m_tagName{};
    std::size_t m_tagNameLength = 0;
    std::array<char, kMaxName + 1> m_attrName{};
    std::size_t m_attrNameLength = 0;
    char16_t m_pushBack = 0;
    // Units read ahead from the source, so that a character costs no call.
    std::array<char16_t, 1024> m_input{};
    std::size_t m_inputPos = 0;
    std::size_t m_inputLength = 0;
    bool m_pendingEnd = false;
    // Units after the value that the next comment or CDATA chunk begins
    // with; 0 again once a section has ended.
    std::size_t m_kept = 0;
    bool m_inQuotes = false; // inside a declaration; false again at its end
    bool m_decodeReferences = false;
    bool m_wholeTexts = false;
    State m_state = State::Content;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "xml/CXmlTokenizer.h"
#include "xml/Utf16.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>

namespace tw {

// Bytes of UTF-8 text kept for one element; the rest of a longer text is
// dropped rather than held, whatever the document. The test is made before
// each piece is added, so a text may pass the cap by one tokenizer value.
// Listings (pocket queries, the Live service) stay far below the large cap.
inline constexpr std::size_t kMaxElementText = 4u << 20;
// Short answers and settings: geocoder responses, map configurations.
inline constexpr std::size_t kMaxShortElementText = 64u << 10;
// Elements open at once in a document that is to count as well formed.
inline constexpr int kMaxElementDepth = 64;

// When the walker empties the text it collects.
enum class XmlTextReset {
    AtStartTags, // an end tag sees the text since the last start tag
    AtEveryTag,  // ... since the last start or end tag: an element's own text after its last child
    ByReader,    // never: the reader empties it once used, as it sees fit
};

struct XmlWalkOptions {
    std::size_t maxText = kMaxElementText; // 0 collects no text
    int maxDepth = kMaxElementDepth;
    XmlTextReset textReset = XmlTextReset::AtStartTags;
    // Ends the walk at the first markup error, a second root, an element
    // deeper than maxDepth or an end tag with no element open; the reader
    // sees nothing of that token or after it. Otherwise the walk goes on to
    // the end of the input and only the result tells.
    bool stopWhenBroken = false;
};

// The tokenizer hands over an XML declaration as a start tag "?xml" that
// never ends: a document that begins with one is not well formed here.
struct XmlWalkResult {
    bool wellFormed = false; // one root element, closed, within maxDepth, without markup errors
    bool stopped = false;    // the reader ended the walk (wellFormed is then false)
};

// Drives the tokenizer through one document and calls the reader back:
//   reader.start(name, text)   at a start tag;
//   reader.attribute(element, attrName, value)   for each attribute, if the
//       reader has it (value is valid until the next token);
//   reader.end(name, text)   at an end tag; returning false ends the walk;
//   reader.strayEnd(name, text)   if the reader has it and stopWhenBroken is
//       set: the end tag with no element open that ends the walk.
// name is a std::string; text, a std::string&, is the element text the walk
// collected (UTF-8, entities decoded as the tokenizer was told). The options
// and the reader are known when it compiles, so that the pocket-query import
// pays nothing per token for what it does not use.
template <XmlWalkOptions kOptions = XmlWalkOptions{}, class Reader>
XmlWalkResult walkElements(CXmlTokenizer& xml, Reader& reader)
{
    constexpr bool kStop = kOptions.stopWhenBroken;
    std::string name;
    std::string root;
    std::string text;
    int depth = 0;
    bool broken = false;
    bool closed = false;
    XmlWalkResult result;
    for (int token = xml.NextToken(); token != XT_END; token = xml.NextToken()) {
        switch (token) {
        case XT_ERROR:
            broken = true;
            if constexpr (kStop)
                return result;
            break;
        case XT_START_TAG:
            name = xml.GetTagName();
            if (closed || ++depth > kOptions.maxDepth) {
                broken = true;
                if constexpr (kStop)
                    return result;
            }
            if (root.empty())
                root = name;
            if constexpr (kOptions.textReset != XmlTextReset::ByReader)
                text.clear();
            reader.start(name, text);
            break;
        case XT_ATTRIBUTE:
            if constexpr (requires { reader.attribute(name, xml.GetAttrName(), xml.GetValue()); })
                reader.attribute(name, xml.GetAttrName(), xml.GetValue());
            break;
        case XT_TEXT:
        case XT_SPACE:
        case XT_CHUNK:
            if (text.size() < kOptions.maxText)
                appendUtf8(text, xml.GetValue());
            break;
        case XT_END_TAG:
            name = xml.GetTagName();
            if (--depth < 0) {
                broken = true;
                if constexpr (kStop) {
                    if constexpr (requires { reader.strayEnd(name, text); })
                        reader.strayEnd(name, text);
                    return result;
                }
            }
            if (depth == 0 && name == root)
                closed = true;
            if constexpr (std::is_same_v<decltype(reader.end(name, text)), bool>) {
                if (!reader.end(name, text)) {
                    result.stopped = true;
                    return result;
                }
            } else {
                reader.end(name, text);
            }
            if constexpr (kOptions.textReset == XmlTextReset::AtEveryTag)
                text.clear();
            break;
        default:
            break;
        }
    }
    result.wellFormed = !broken && closed;
    return result;
}

} // namespace tw

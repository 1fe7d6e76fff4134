// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/TestSupport.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"

#include <algorithm>
#include <random>
#include <tuple>
#include <utility>

namespace tw {
namespace {

// The token stream as short texts: "<a", "@x=1", "T:t", "S: ", "/a", "C:..."
std::vector<std::string> tokens(std::string_view utf8)
{
    CUtf8MemorySource source(utf8);
    CXmlTokenizer xml(source);
    std::vector<std::string> out;
    for (int t = xml.NextToken(), guard = 0; t != XT_END && guard < 100000; t = xml.NextToken(), ++guard) {
        switch (t) {
        case XT_START_TAG: out.push_back(std::string("<") + xml.GetTagName()); break;
        case XT_END_TAG: out.push_back(std::string("/") + xml.GetTagName()); break;
        case XT_ATTRIBUTE: out.push_back("@" + std::string(xml.GetAttrName()) + "=" + xml.getValueUtf8()); break;
        case XT_TEXT: out.push_back("T:" + xml.getValueUtf8()); break;
        case XT_SPACE: out.push_back("S:" + xml.getValueUtf8()); break;
        case XT_CHUNK: out.push_back("C:" + xml.getValueUtf8()); break;
        case XT_ERROR: out.emplace_back("ERR"); break;
        default: out.push_back("#" + std::to_string(t)); break;
        }
    }
    return out;
}

struct Case {
    const char* name;
    std::string input;
    std::vector<std::string> expected;
};

class XmlTokenizerTest : public ::testing::TestWithParam<Case> {};

TEST_P(XmlTokenizerTest, Tokens)
{
    EXPECT_EQ(tokens(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Markup, XmlTokenizerTest,
    ::testing::Values(
        Case{"EmptyElementEndsWithItsOwnName", "<a/>", {"<a", "/a"}},
        Case{"QuotedAttributes", "<a x=\"1\" y='2'>t</a >", {"<a", "@x=1", "@y=2", "T:t", "/a"}},
        Case{"UnquotedAndBareAttributes", "<a x=1><b checked>", {"<a", "@x=1", "<b", "@checked="}},
        Case{"TextAndSpaceAlternate", "<b>one two</b>", {"<b", "T:one", "S: ", "T:two", "/b"}},
        Case{"EntitiesStartNewRuns", "<t>a &lt; b</t>", {"<t", "T:a", "S: ", "T:<", "S: ", "T:b", "/t"}},
        Case{"EntityInAttribute", "<t x=\"a&amp;b\"/>", {"<t", "@x=a&b", "/t"}},
        Case{"NumericReferencesAreNotDecoded", "<t>&#xD;</t>", {"<t", "T:&;xD;", "/t"}},
        Case{"UnknownEntityPassesThrough", "<t>&copy;</t>", {"<t", "T:&copy;", "/t"}},
        Case{"Comment", "<!-- note -->", {"#7", "C: note ", "#8"}},
        Case{"EmptyComment", "<!---->", {"#7", "C:", "#8"}},
        Case{"CData", "<![CDATA[a<b&c]]>", {"#9", "C:a<b&c", "#10"}},
        Case{"Declaration", "<!ENTITY x \"a>b\">", {"#13", "C: x \"a>b\"", "#14"}},
        Case{"XmlDeclaration", "<?xml version=\"1.0\"?>", {"<?xml", "@version=1.0", "@?="}},
        Case{"Doctype", "<!DOCTYPE gpx>", {"<!DOCTYPE", "@gpx="}},
        Case{"PrefixIsPartOfTheName", "<groundspeak:name>N</groundspeak:name>",
             {"<groundspeak:name", "T:N", "/groundspeak:name"}},
        Case{"BadClosingTag", "</a b><c/>", {"ERR", "T:>", "<c", "/c"}},
        Case{"EndInsideTagName", "<abc", {"ERR"}},
        Case{"LessThanInAttributeName", "<a b<c>", {"<a", "ERR", "@c="}},
        Case{"SlashNotClosing", "<a /b>", {"<a", "ERR", "@b="}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XmlTokenizerLimits, LongValuesAndNamesAreCut)
{
    const auto text = tokens("<t>" + std::string(10000, 'x') + "</t>");
    ASSERT_EQ(text.size(), 3u);
    EXPECT_EQ(text[1], "T:" + std::string(8191, 'x'));

    const auto comment = tokens("<!--" + std::string(10000, 'c') + "-->");
    ASSERT_EQ(comment.size(), 4u);
    EXPECT_EQ(comment[1].size(), 2u + 8191u);
    EXPECT_EQ(comment[2].size(), 2u + 1809u);

    const auto name = tokens("<" + std::string(200, 'n') + ">");
    ASSERT_EQ(name.size(), 1u);
    EXPECT_EQ(name[0], "<" + std::string(127, 'n'));
}

TEST(XmlTokenizerUtf8, MalformedSequences)
{
    // A bad sequence becomes U+FFFD wherever it stands, and the text goes on.
    EXPECT_EQ(tokens("<t>ab\xff" "cd</t>"), (std::vector<std::string>{"<t", "T:ab\xEF\xBF\xBD" "cd", "/t"}));
    EXPECT_EQ(tokens("<t>\x80" "cd</t><u/>"),
              (std::vector<std::string>{"<t", "T:\xEF\xBF\xBD" "cd", "/t", "<u", "/u"}));
    // So does an encoded surrogate and an overlong form ('<' in two bytes,
    // no markup); a lead byte without its continuation gives one U+FFFD and
    // the next byte stays itself.
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(tokens("<t>\xED\xA0\x80\xC0\xBC\xC3" "b</t>"),
              (std::vector<std::string>{"<t", "T:" + bad + bad + bad + bad + "b", "/t"}));
    // A NUL is not XML at all: it is dropped, even where a token begins.
    EXPECT_EQ(tokens(std::string("<t>\0a\0b</t>\0<u\0v/>", 18)),
              (std::vector<std::string>{"<t", "T:ab", "/t", "<uv", "/uv"}));
    // A character beyond U+FFFF comes through whole and ends nothing.
    EXPECT_EQ(tokens("<t>a\xF0\x9F\x98\x80" "b</t>"), (std::vector<std::string>{"<t", "T:a\xF0\x9F\x98\x80" "b", "/t"}));
    // Czech text survives, and a byte-order mark is no text.
    EXPECT_EQ(tokens("\xEF\xBB\xBF<t>Příliš žluťoučký</t>"),
              (std::vector<std::string>{"<t", "T:Příliš", "S: ", "T:žluťoučký", "/t"}));
}

TEST(XmlTokenizerLimits, SectionEndsAcrossChunks)
{
    // The end marker split over two chunks in every way, and a marker
    // character right before the marker.
    for (const auto& [open, close, token] : {std::tuple{"<!--", "-->", "#8"}, std::tuple{"<![CDATA[", "]]>", "#10"}}) {
        for (std::size_t length = 8186; length <= 8193; ++length) {
            for (const std::string& tail : {std::string(), std::string(1, close[0])}) {
                const std::string body = std::string(length, 'x') + tail;
                const auto got = tokens(open + body + close + "<a/>");
                std::string chunks;
                for (const auto& t : got)
                    if (t.starts_with("C:"))
                        chunks += t.substr(2);
                EXPECT_EQ(chunks, body) << open << length;
                ASSERT_GE(got.size(), 3u);
                EXPECT_EQ(std::vector<std::string>(got.end() - 3, got.end()),
                          (std::vector<std::string>{token, "<a", "/a"}))
                    << open << length << tail;
            }
        }
    }
}

TEST(XmlTokenizerFiles, MissingAndEmptyFilesEndAtOnce)
{
    CUtf8FileSource missing("/nonexistent/file.gpx");
    CXmlTokenizer a(missing);
    EXPECT_EQ(a.NextToken(), XT_END);
    EXPECT_EQ(a.NextToken(), XT_END);
    CUtf8FileSource empty("/dev/null");
    CXmlTokenizer b(empty);
    EXPECT_EQ(b.NextToken(), XT_END);
}

TEST(XmlTokenizerFiles, BadContinuationByteAcrossTheReadBuffer)
{
    // The bad continuation byte "b" is the first byte of the second read
    // buffer; it must be read again as a character of its own.
    const auto path = std::filesystem::temp_directory_path() / "tarnwick-xml-boundary.xml";
    std::string filler;
    while (filler.size() < 64 * 1024 - 4)
        filler += "a ";
    filler.resize(64 * 1024 - 4);
    test::writeFile(path, "<t>" + filler + "\xC3" "b</t>");
    CUtf8FileSource source(path);
    CXmlTokenizer xml(source);
    std::size_t letters = 0;
    std::string last;
    for (int t = xml.NextToken(); t != XT_END; t = xml.NextToken())
        if (t == XT_TEXT) {
            last = xml.getValueUtf8();
            letters += last.size();
        }
    std::filesystem::remove(path);
    EXPECT_EQ(last, "\xEF\xBF\xBD" "b");
    EXPECT_EQ(letters, static_cast<std::size_t>(std::count(filler.begin(), filler.end(), 'a')) + 4);
}

TEST(XmlTokenizerRobustness, RandomBytesAlwaysReachTheEnd)
{
    std::mt19937 rng(20261207);
    const std::string alphabet = "<>/=\"'&;!-[]?aZ \t\n#x0\xC3\xA9\xFF";
    for (int round = 0; round < 300; ++round) {
        std::string input;
        const int length = static_cast<int>(rng() % 2000);
        for (int i = 0; i < length; ++i)
            input += alphabet[rng() % alphabet.size()];
        CUtf8MemorySource source(input);
        CXmlTokenizer xml(source);
        int calls = 0;
        while (xml.NextToken() != XT_END)
            ASSERT_LT(++calls, 10 * length + 10) << "no progress on round " << round;
    }
}

} // namespace
} // namespace tw

namespace tw {
namespace {

std::string decoded(std::string_view utf8)
{
    CUtf8MemorySource source(utf8);
    CXmlTokenizer xml(source);
    xml.setDecodeCharacterReferences(true);
    std::string text;
    for (int t = xml.NextToken(); t != XT_END; t = xml.NextToken())
        if (t == XT_TEXT || t == XT_SPACE)
            text += xml.getValueUtf8();
        else if (t == XT_ATTRIBUTE)
            text += "[" + xml.getValueUtf8() + "]";
    return text;
}

TEST(XmlCharacterReferences, DecodedWhenAskedFor)
{
    EXPECT_EQ(decoded("<t>M&#xFC;nchen &#252; &#x1F600;</t>"), "München ü \xF0\x9F\x98\x80");
    EXPECT_EQ(decoded("<t a=\"Stra&#xDF;e\"/>"), "[Straße]");
    EXPECT_EQ(decoded("<t a=\"&#128175;&#x1f4af;\">&#128175;&#X1F4AF;&#x10FFFF;</t>"),
              "[\xF0\x9F\x92\xAF\xF0\x9F\x92\xAF]\xF0\x9F\x92\xAF\xF0\x9F\x92\xAF\xF4\x8F\xBF\xBF");
    // What is no reference stays as it was written.
    EXPECT_EQ(decoded("<t>&#;x &#12a &#xZZ; &#0; &#xD800;</t>"), "&#;x &#12a &#xZZ; &#0; &#xD800;");
    EXPECT_EQ(decoded("<t>end &#12"), "end &#12");
}

} // namespace
} // namespace tw

namespace tw {
namespace {

// The tokens with the texts between two pieces of markup joined, as the
// pocket-query import reads them.
std::vector<std::string> joinedTokens(std::string_view utf8, bool wholeTexts)
{
    CUtf8MemorySource source(utf8);
    CXmlTokenizer xml(source);
    xml.setDecodeCharacterReferences(true);
    xml.setWholeTexts(wholeTexts);
    std::vector<std::string> out;
    std::string text;
    for (int t = xml.NextToken(); t != XT_END; t = xml.NextToken()) {
        if (t == XT_TEXT || t == XT_SPACE || t == XT_CHUNK) {
            text += xml.getValueUtf8();
            continue;
        }
        if (!text.empty())
            out.push_back("T:" + std::exchange(text, {}));
        std::string token = std::to_string(t);
        if (t == XT_START_TAG || t == XT_END_TAG)
            token += xml.GetTagName();
        else if (t == XT_ATTRIBUTE)
            token += std::string(xml.GetAttrName()) + "=" + xml.getValueUtf8();
        out.push_back(token);
    }
    if (!text.empty())
        out.push_back("T:" + text);
    return out;
}

TEST(XmlTokenizerWholeTexts, SameTextsAsTokenByToken)
{
    const std::vector<std::string> texts{"word", "kámen", " ", "\r\n  ", "&amp;", "&lt;b&gt;", "&#xFC;", "&#252;",
                                         "&#x1F600;", "\xF0\x9F\x93\xAF", "&#12a", "&#;", "&nbsp;", "&", "&#x", "\xFF", "\xC3",
                                         "&averyveryveryverylongentitynamethatgoeson;"};
    const std::vector<std::string> markup{"<b>", "</b>", "<![CDATA[x]]y]]>", "<!-- c -->", "<a x=\"1&amp;2\"/>"};
    std::mt19937 rng(20261207);
    for (int round = 0; round < 12; ++round) {
        std::string doc = "<gpx>";
        const int pieces = static_cast<int>(rng() % 6000);
        for (int i = 0; i < pieces; ++i) {
            if (rng() % 150 == 0)
                doc += markup[rng() % markup.size()];
            else if (rng() % 40 == 0)
                doc += " " + std::string(rng() % 8000, 'y') + " ";
            else
                doc += texts[rng() % texts.size()];
        }
        if (round % 2 == 0)
            doc += "</gpx>";
        EXPECT_EQ(joinedTokens(doc, true), joinedTokens(doc, false)) << "round " << round;
    }
}

// Each value is turned into UTF-8 on its own (as the element walker does),
// so a character beyond U+FFFF must not be cut between its two surrogates
// where a long text, a comment or a CDATA section goes on in the next token.
TEST(XmlTokenizerWholeTexts, CharactersBeyondTheBasicPlaneStayWholeAcrossValues)
{
    const std::string horn = "\xF0\x9F\x93\xAF";
    for (std::size_t lead = 8100; lead <= 8200; ++lead) {
        std::string body(lead, 'x');
        for (int i = 0; i < 3; ++i)
            body += horn + "y";
        // (Token by token, a word this long is cut at the value's length.)
        EXPECT_EQ(joinedTokens("<t>" + body + "</t>", true), (std::vector<std::string>{"1t", "T:" + body, "2t"}))
            << lead;
        for (const bool whole : {true, false}) {
            EXPECT_EQ(joinedTokens("<t><![CDATA[" + body + "]]></t>", whole),
                      (std::vector<std::string>{"1t", "9", "T:" + body, "10", "2t"}))
                << lead << whole;
        }
    }
}

} // namespace
} // namespace tw

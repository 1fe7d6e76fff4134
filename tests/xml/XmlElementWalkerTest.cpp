// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/TestSupport.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/XmlElementWalker.h"

#include <string>
#include <vector>

namespace tw {
namespace {

// Writes down every callback as a short text: "<a", "@a.x=1", "/a:text", "!x:text".
struct RecordingReader {
    std::vector<std::string> calls;
    std::string stopAt; // an end tag whose callback ends the walk
    bool clearAtStart = false;

    void start(const std::string& name, std::string& text)
    {
        calls.push_back("<" + name);
        if (clearAtStart)
            text.clear();
    }
    void attribute(const std::string& element, const char* name, std::u16string_view value)
    {
        calls.push_back("@" + element + "." + name + "=" + toUtf8(value));
    }
    bool end(const std::string& name, std::string& text)
    {
        calls.push_back("/" + name + ":" + text);
        return name != stopAt;
    }
    void strayEnd(const std::string& name, std::string& text) { calls.push_back("!" + name + ":" + text); }
};

template <XmlWalkOptions kOptions = XmlWalkOptions{}>
XmlWalkResult walk(std::string_view xml, RecordingReader& reader)
{
    CUtf8MemorySource source(xml);
    CXmlTokenizer tokenizer(source);
    return walkElements<kOptions>(tokenizer, reader);
}

constexpr XmlWalkOptions kStop{.stopWhenBroken = true};

template <XmlTextReset kReset>
std::vector<std::string> endTexts()
{
    RecordingReader reader;
    walk<XmlWalkOptions{.textReset = kReset}>("<r><a>x<b>y</b>z</a></r>", reader);
    std::vector<std::string> ends;
    for (const std::string& call : reader.calls)
        if (call[0] == '/')
            ends.push_back(call);
    return ends;
}

TEST(XmlElementWalker, EachResetKeepsItsOwnTextOfMixedContent)
{
    EXPECT_EQ(endTexts<XmlTextReset::AtStartTags>(), (std::vector<std::string>{"/b:y", "/a:yz", "/r:yz"}));
    EXPECT_EQ(endTexts<XmlTextReset::AtEveryTag>(), (std::vector<std::string>{"/b:y", "/a:z", "/r:"}));
    EXPECT_EQ(endTexts<XmlTextReset::ByReader>(), (std::vector<std::string>{"/b:xy", "/a:xyz", "/r:xyz"}));
}

TEST(XmlElementWalker, AttributesNameTheirElementAndTheReaderMayEmptyTheText)
{
    RecordingReader reader;
    reader.clearAtStart = true;
    const XmlWalkResult result = walk<XmlWalkOptions{.textReset = XmlTextReset::ByReader}>("<r k=\"1\">x<a v='2'/>y</r>", reader);
    EXPECT_TRUE(result.wellFormed);
    EXPECT_EQ(reader.calls, (std::vector<std::string>{"<r", "@r.k=1", "<a", "@a.v=2", "/a:", "/r:y"}));
}

TEST(XmlElementWalker, TextStopsGrowingAtTheCap)
{
    const std::string word(1000, 'w');
    std::string doc = "<t>";
    for (int i = 0; i < 100; ++i)
        doc += word + " ";
    doc += "</t>";
    RecordingReader reader;
    walk<XmlWalkOptions{.maxText = 4000}>(doc, reader);
    ASSERT_EQ(reader.calls.size(), 2u);
    // The cap is tested before each piece: the word that passes it is kept whole.
    EXPECT_EQ(reader.calls[1], "/t:" + word + " " + word + " " + word + " " + word);

    RecordingReader none;
    walk<XmlWalkOptions{.maxText = 0}>(doc, none);
    EXPECT_EQ(none.calls.back(), "/t:");
}

struct Document {
    const char* name;
    std::string xml;
    bool wellFormed;
};

class WellFormedTest : public ::testing::TestWithParam<Document> {};

TEST_P(WellFormedTest, ReportedWhetherOrNotTheWalkStops)
{
    constexpr XmlWalkOptions kGoOn{.maxDepth = 3};
    constexpr XmlWalkOptions kStopShallow{.maxDepth = 3, .stopWhenBroken = true};
    RecordingReader goesOn;
    EXPECT_EQ(walk<kGoOn>(GetParam().xml, goesOn).wellFormed, GetParam().wellFormed);
    RecordingReader stops;
    EXPECT_EQ(walk<kStopShallow>(GetParam().xml, stops).wellFormed, GetParam().wellFormed);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, WellFormedTest,
    ::testing::Values(Document{"Closed", "<!-- c --><a><b/>t</a>\n", true},
                      Document{"DeclarationIsAnElementLeftOpen", "<?xml version=\"1.0\"?><a/>", false},
                      Document{"AtTheDepthLimit", "<a><b><c/></b></a>", true},
                      Document{"DeeperThanTheLimit", "<a><b><c><d/></c></b></a>", false},
                      Document{"Unclosed", "<a><b></b>", false},
                      Document{"SecondRoot", "<a/><b/>", false},
                      Document{"EndTagWithoutStart", "<a></a></b>", false},
                      Document{"MarkupError", "<a><b /c></b></a>", false},
                      Document{"Empty", "", false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(XmlElementWalker, BrokenDocumentEndsTheWalkWhenAsked)
{
    RecordingReader goesOn;
    walk("<a>1</a><b>2</b>", goesOn);
    EXPECT_EQ(goesOn.calls, (std::vector<std::string>{"<a", "/a:1", "<b", "/b:2"}));

    RecordingReader stops;
    walk<kStop>("<a>1</a><b>2</b>", stops);
    EXPECT_EQ(stops.calls, (std::vector<std::string>{"<a", "/a:1"}));

    // The end tag that closes nothing is shown to a reader that asks for it.
    RecordingReader stray;
    walk<kStop>("<a>1</a>2</x><c/>", stray);
    EXPECT_EQ(stray.calls, (std::vector<std::string>{"<a", "/a:1", "!x:12"}));
}

TEST(XmlElementWalker, ReaderEndsTheWalk)
{
    RecordingReader reader;
    reader.stopAt = "b";
    const XmlWalkResult result = walk("<a><b/><c/></a>", reader);
    EXPECT_TRUE(result.stopped);
    EXPECT_FALSE(result.wellFormed);
    EXPECT_EQ(reader.calls, (std::vector<std::string>{"<a", "<b", "/b:"}));
}

} // namespace
} // namespace tw

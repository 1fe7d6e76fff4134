// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CTarnwickCommandLine.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

CTarnwickCommandLine parsed(std::vector<std::string> words)
{
    CTarnwickCommandLine cl;
    cl.parse(words);
    return cl;
}

TEST(CommandLine, TrackWordsCombine)
{
    const auto cl = parsed({"tgpx", "tkml"});
    EXPECT_TRUE(cl.trackExport && cl.trackGpx && cl.trackKml);
    EXPECT_FALSE(cl.trackPlt || cl.trackDelete || cl.fieldNotes || cl.import);
    EXPECT_TRUE(cl.isBatch());
}

TEST(CommandLine, ImportTakesTheNextWordAsItIs)
{
    const auto cl = parsed({"i", "/home/me/pq/-tdel.gpx"});
    EXPECT_TRUE(cl.import);
    EXPECT_EQ(cl.importFile, "/home/me/pq/-tdel.gpx");
    EXPECT_FALSE(cl.trackDelete);
}

TEST(CommandLine, ExportTakesItsFile)
{
    const auto cl = parsed({"e", "/tmp/out.gpx", "fn"});
    EXPECT_TRUE(cl.exportGpx && cl.fieldNotes);
    EXPECT_EQ(cl.exportFile, "/tmp/out.gpx");
    EXPECT_TRUE(cl.isBatch());
}

TEST(CommandLine, VisitsTakesAnOptionalPlace)
{
    auto cl = parsed({"visits"});
    EXPECT_TRUE(cl.visits && cl.isBatch());
    EXPECT_EQ(cl.visitsPlace, "");
    cl = parsed({"--visits", "/media/me/GARMIN", "fn"});
    EXPECT_EQ(cl.visitsPlace, "/media/me/GARMIN");
    EXPECT_TRUE(cl.fieldNotes);
    EXPECT_TRUE(cl.unknownWords.empty());
    // A batch word after it is no place.
    cl = parsed({"visits", "fn"});
    EXPECT_EQ(cl.visitsPlace, "");
    EXPECT_TRUE(cl.visits && cl.fieldNotes);
}

TEST(CommandLine, ShowTakesACodeAndOpensTheWindow)
{
    const auto cl = parsed({"--show", "GC12AB"});
    EXPECT_EQ(cl.showCode, "GC12AB");
    EXPECT_FALSE(cl.isBatch());
    const auto odd = parsed({"--show", "tdel"});
    EXPECT_EQ(odd.showCode, "tdel");
    EXPECT_FALSE(odd.isBatch());
}

TEST(CommandLine, SwitchCharacterAndCase)
{
    EXPECT_TRUE(parsed({"-fn"}).fieldNotes);
    EXPECT_TRUE(parsed({"--tdel"}).trackDelete);
    EXPECT_FALSE(parsed({"FN"}).fieldNotes);
    EXPECT_FALSE(parsed({"/fn"}).fieldNotes); // a path, not a switch
    EXPECT_FALSE(parsed({}).isBatch());
    EXPECT_FALSE(parsed({"hello"}).isBatch());
}

TEST(CommandLine, WordsThatAreNoneAreKeptAsUnknown)
{
    EXPECT_EQ(parsed({"tdel", "bogus"}).unknownWords, std::vector<std::string>{"bogus"});
    // A code after another word no longer belongs to "dl".
    const auto dl = parsed({"dl", "gc1", "tdel", "GC2"});
    EXPECT_EQ(dl.downloadCodes, std::vector<std::string>{"GC1"});
    EXPECT_EQ(dl.unknownWords, std::vector<std::string>{"GC2"});
    // Files, coordinates and codes are arguments, not words.
    EXPECT_TRUE(parsed({"i", "a.gpx", "e", "b.gpx", "near", "-1", "2", "show", "x"}).unknownWords.empty());
    EXPECT_EQ(parsed({"e", "b.gpx", "c.gpx"}).unknownWords, std::vector<std::string>{"c.gpx"});
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchActions.h"
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

TEST(CommandLine, PngTakesFiveValuesAndAnOptionalSource)
{
    const auto plain = parsed({"png", "-33.9", "-18.4", "12", "640x480", "tdel.png"});
    EXPECT_TRUE(plain.picture && plain.isBatch());
    EXPECT_EQ(plain.pictureArgs, (std::vector<std::string>{"-33.9", "-18.4", "12", "640x480", "tdel.png"}));
    EXPECT_FALSE(plain.trackDelete);
    EXPECT_TRUE(plain.unknownWords.empty());

    const auto named = parsed({"png", "1", "2", "3", "20x20", "a.png", "pankow", "tdel"});
    EXPECT_EQ(named.pictureArgs.size(), 6u);
    EXPECT_EQ(named.pictureArgs.back(), "pankow");
    EXPECT_TRUE(named.trackDelete);
    EXPECT_TRUE(named.unknownWords.empty());
    // A batch word after the file is a word, not a source.
    EXPECT_EQ(parsed({"png", "1", "2", "3", "20x20", "a.png", "fn"}).pictureArgs.size(), 5u);
}

TEST(CommandLine, PdfTakesACodeOrAllAndTheFile)
{
    // The file may be named like a word ("e"), and words may follow.
    const auto sheets = parsed({"--pdf", "all", "e", "tdel"});
    EXPECT_TRUE(sheets.sheets && sheets.isBatch());
    EXPECT_EQ(sheets.sheetArgs, (std::vector<std::string>{"all", "e"}));
    EXPECT_FALSE(sheets.exportGpx);
    EXPECT_TRUE(sheets.trackDelete);
    EXPECT_TRUE(sheets.unknownWords.empty());
    // Too few words are left for the run to refuse.
    EXPECT_EQ(parsed({"pdf", "GC1"}).sheetArgs.size(), 1u);
}

TEST(CommandLine, PngValuesRead)
{
    const auto r = readPictureRequest({"N 50° 05.220", "E 014° 25.260", "15", "800x600", "out.png", "pankow"});
    ASSERT_TRUE(r);
    EXPECT_NEAR(r->latDeg, 50.087, 1e-6);
    EXPECT_NEAR(r->lonDeg, 14.421, 1e-6);
    EXPECT_EQ(r->zoom, 15);
    EXPECT_EQ(r->width, 800);
    EXPECT_EQ(r->height, 600);
    EXPECT_EQ(r->file, "out.png");
    EXPECT_EQ(r->source, "pankow");

    const auto decimal = readPictureRequest({"-33.9", "18.4", "0", "16x8192", "out.png"});
    ASSERT_TRUE(decimal);
    EXPECT_DOUBLE_EQ(decimal->latDeg, -33.9);
    EXPECT_TRUE(decimal->source.empty());

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"50", "14", "15", "15x600", "a.png"}, {"50", "14", "15", "800x8193", "a.png"},
          {"50", "14", "15", "800", "a.png"}, {"50", "14", "z", "800x600", "a.png"},
          {"95", "14", "15", "800x600", "a.png"}, {"north", "east", "15", "800x600", "a.png"},
          {"50", "14", "15", "800x600"}})
        EXPECT_FALSE(readPictureRequest(bad)) << bad[0] << " " << bad[2] << " " << bad[3];
}

} // namespace
} // namespace tw

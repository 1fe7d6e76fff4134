// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/TrackExport.h"
#include "platform/AtomicFile.h"

#include "db/Database.h"
#include "gps/CTrackLogger.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace tw {
namespace {

constexpr std::time_t kStart = 1299330429; // 2011-03-05 13:07:09 UTC, 14:07:09 in CET

struct NameRow {
    std::string name;
    std::string stored;
    std::string expected;
};

class BaseNameTest : public ::testing::TestWithParam<NameRow> {};

TEST_P(BaseNameTest, KeepsOnlyAsciiLettersAndDigits)
{
    EXPECT_EQ(exportBaseName(GetParam().stored, 20110305, 140709), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Names, BaseNameTest,
                         ::testing::Values(NameRow{"BlankAndSlash", "Trip to Brno/2", "Trip_to_Brno_2"},
                                           NameRow{"Unnamed", "", "track_20110305_140709"},
                                           NameRow{"MultiByteLetters", "Třebíč", "T_eb__"},
                                           NameRow{"PathTricks", "../../etc/passwd", "______etc_passwd"}),
                         test::RowName());

std::string ascii(const std::string& utf16)
{
    std::string out;
    for (std::size_t i = 2; i + 1 < utf16.size(); i += 2)
        out += utf16[i];
    return out;
}

class ExportTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ::setenv("TZ", "CET-1", 1);
        ::tzset();
        ASSERT_EQ(db.OpenFile((dir / "$tarnwick.db3").string()), SQLITE_OK);
        logger.setClock([this] { return clock; });
        logger.setRecording(true);
        ASSERT_TRUE(logger.openTrackLog());
        options.folder = dir / "out";
        fs::create_directories(options.folder);
    }
    void record(int points)
    {
        for (int i = 0; i < points; ++i) {
            clock += 5;
            logger.appendTrack(49.2 + i * 0.0003, 16.6, 100.0, 1.25, 6, 4);
        }
    }
    int pointsOfTrack(int id) { return static_cast<int>(logger.trackPoints(id).size()); }

    std::time_t clock = kStart;
    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    CTrackLogger logger{db, prompter};
    TrackExportOptions options;
};

TEST_F(ExportTest, UnnamedTrackGetsItsStartAsNameInEveryChosenFormat)
{
    record(3);
    options.gpx = options.kml = options.plt = true;
    const TrackExportResult r = exportTrack(logger, 1, options);
    EXPECT_TRUE(r.complete);
    for (const char* ext : {".gpx", ".kml", ".plt"})
        EXPECT_TRUE(fs::exists(options.folder / (std::string("track_20110305_140709") + ext))) << ext;
    EXPECT_FALSE(fs::exists(partFileOf(options.folder / "track_20110305_140709.gpx")));
}

TEST_F(ExportTest, PartFilesOfKilledExportsGoWithTheNextExport)
{
    record(3);
    options.gpx = true;
    const fs::path stale = options.folder / "track_20100101_000000.kml.part999999999";
    const fs::path older = options.folder / "track_20100101_000000.plt.part";
    const fs::path notOurs = options.folder / "notes.txt.part999999999";
    for (const auto& p : {stale, older, notOurs})
        test::writeFile(p, "half");
    EXPECT_TRUE(exportAllTracks(logger, options));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(older));
    EXPECT_TRUE(fs::exists(notOurs));
}

TEST_F(ExportTest, EveryTrackLeavesOutTracksWithoutAPoint)
{
    options.gpx = true;
    const auto files = [&] {
        int n = 0;
        for (const auto& e : fs::directory_iterator(options.folder))
            n += e.path().extension() == ".gpx";
        return n;
    };
    fs::create_directories(options.folder);
    EXPECT_TRUE(exportAllTracks(logger, options)); // the start marker alone
    EXPECT_EQ(files(), 0);
    record(2);
    EXPECT_TRUE(exportAllTracks(logger, options));
    EXPECT_EQ(files(), 1);
}

TEST_F(ExportTest, GpxHoldsUtcTimesAndTwoDecimals)
{
    record(1);
    const std::string gpx = test::readFile((options.gpx = true, exportTrack(logger, 1, options).written.at(0)));
    ASSERT_EQ(gpx.substr(0, 2), "\xFF\xFE");
    const std::string text = ascii(gpx);
    // The point was taken at 14:07:14 local time, an hour east of UTC.
    EXPECT_NE(text.find("<trkpt lat=\"49.200000\" lon=\"16.600000\"><ele>100.00</ele>"
                        "<time>2011-03-05T13:07:14Z</time><hdop>1.25</hdop></trkpt>"),
              std::string::npos)
        << text;
}

TEST_F(ExportTest, PltAltitudeInFeetAndDayNumber)
{
    record(1);
    options.plt = true;
    const std::string plt = test::readFile(exportTrack(logger, 1, options).written.at(0));
    EXPECT_NE(plt.find("\r\n49.20000000, 16.60000000, 0, 328.1, 40607.546690,,\r\n"), std::string::npos) << plt;
}

TEST_F(ExportTest, OnlyStartMarkerGivesHeaderAndFooter)
{
    options.kml = true;
    const std::string kml = ascii(test::readFile(exportTrack(logger, 1, options).written.at(0)));
    EXPECT_NE(kml.find("<coordinates></coordinates>"), std::string::npos);
    EXPECT_NE(kml.find("</Document></kml>"), std::string::npos);
}

TEST_F(ExportTest, DeleteAfterExportStartsANewTrack)
{
    record(3);
    options.gpx = true;
    options.deleteAfter = true;
    EXPECT_TRUE(exportTrack(logger, 1, options).deleted);
    EXPECT_EQ(pointsOfTrack(1), 0);
    EXPECT_EQ(logger.currentTrackId(), 1) << "MAX + 1 of an empty table";
    clock += 60;
    record(1);
    EXPECT_EQ(pointsOfTrack(1), 1);
}

TEST_F(ExportTest, FailedExportKeepsTheTrack)
{
    record(3);
    options.gpx = options.kml = true;
    options.deleteAfter = true;
    options.folder = dir / "missing";
    const TrackExportResult r = exportTrack(logger, 1, options);
    EXPECT_FALSE(r.complete);
    EXPECT_FALSE(r.deleted);
    EXPECT_EQ(pointsOfTrack(1), 3);
    EXPECT_TRUE(prompter.messages().empty()) << "a missing folder is not reported";
}

TEST_F(ExportTest, NoFormatChosenDeletesNothing)
{
    record(2);
    options.deleteAfter = true;
    EXPECT_FALSE(exportTrack(logger, 1, options).deleted);
    EXPECT_EQ(pointsOfTrack(1), 2);
}

TEST_F(ExportTest, OneFailingFormatKeepsTheTrack)
{
    record(2);
    options.gpx = options.plt = true;
    options.deleteAfter = true;
    fs::create_directories(options.folder / "track_20110305_140709.plt"); // cannot become a file
    EXPECT_FALSE(exportTrack(logger, 1, options).deleted);
    EXPECT_EQ(pointsOfTrack(1), 2);
}

// Four tracks whose names give two file names; track n holds n points.
class AlikeNamesTest : public ExportTest {
protected:
    void SetUp() override
    {
        ExportTest::SetUp();
        const char* names[] = {"Hike/1", "Hike_1", "Hike", "hike"};
        for (int id = 1; id <= 4; ++id) {
            if (id > 1)
                logger.newTrack();
            clock += 60;
            record(id);
            ASSERT_TRUE(logger.renameTrack(id, names[id - 1]));
        }
        options.gpx = true;
        options.deleteAfter = true;
    }
    static int pointsInFile(const fs::path& file)
    {
        const std::string text = ascii(test::readFile(file));
        int n = 0;
        for (std::size_t at = text.find("<trkpt"); at != std::string::npos; at = text.find("<trkpt", at + 1))
            ++n;
        return n;
    }
};

TEST_F(AlikeNamesTest, EveryTrackGetsItsOwnFileBeforeItIsDeleted)
{
    const auto results = exportTracks(logger, logger.trackIds(), options);
    ASSERT_EQ(results.size(), 4u);
    std::set<fs::path> files;
    for (int id = 1; id <= 4; ++id) {
        const TrackExportResult& r = results[static_cast<std::size_t>(id - 1)];
        ASSERT_EQ(r.written.size(), 1u) << id;
        files.insert(r.written[0]);
        EXPECT_EQ(pointsInFile(r.written[0]), id) << r.written[0];
        EXPECT_TRUE(r.deleted);
        EXPECT_EQ(pointsOfTrack(id), 0);
    }
    EXPECT_EQ(files.size(), 4u);
    EXPECT_EQ(std::distance(fs::directory_iterator(options.folder), fs::directory_iterator()), 4);
}

TEST_F(AlikeNamesTest, OnlyTracksWhoseFileWasWrittenAreDeleted)
{
    fs::create_directories(options.folder / "Hike.gpx"); // the third track's file cannot be made
    const auto results = exportTracks(logger, logger.trackIds(), options);
    for (int id = 1; id <= 4; ++id)
        EXPECT_EQ(pointsOfTrack(id), id == 3 ? 3 : 0) << id;
    EXPECT_FALSE(results.at(2).complete);

    // A folder below a file: nothing can be written, nothing is deleted.
    logger.newTrack();
    clock += 60;
    record(2);
    test::writeFile(dir / "plain", "");
    options.folder = dir / "plain" / "tracks";
    EXPECT_FALSE(exportAllTracks(logger, options));
    EXPECT_EQ(pointsOfTrack(3), 3);
    EXPECT_EQ(pointsOfTrack(5), 2);
}

std::string run(const std::string& command)
{
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

// Another program reads each export with the same number of points.
TEST_F(ExportTest, IndependentReaderSeesEveryPoint)
{
    TW_REQUIRE_PROGRAM("gpsbabel");
    record(25);
    options.gpx = options.kml = options.plt = true;
    const auto r = exportTrack(logger, 1, options);
    ASSERT_EQ(r.written.size(), 3u);
    for (const auto& [file, format] : {std::pair{r.written[0], "gpx"}, std::pair{r.written[1], "kml"},
                                       std::pair{r.written[2], "ozi"}}) {
        const std::string csv =
            run("gpsbabel -t -i " + std::string(format) + " -f '" + file.string() + "' -o unicsv -F - 2>&1");
        int lines = 0;
        for (const char c : csv)
            lines += c == '\n';
        EXPECT_EQ(lines, 26) << format << ": header and 25 points\n" << csv;
    }
}

// xmllint's verdict on a file; the KML schema imports the other .xsd files
// beside it (atom, xAL).
std::string schemaCheck(const fs::path& file, const fs::path& schema)
{
    return run("xmllint --noout --schema '" + schema.string() + "' '" + file.string() + "' 2>&1");
}

#define TW_REQUIRE_SCHEMAS(...)                                                                    \
    do {                                                                                           \
        TW_REQUIRE_CORPUS();                                                                       \
        TW_REQUIRE_PROGRAM("xmllint");                                                             \
        for (const char* xsd : {__VA_ARGS__})                                                      \
            if (!fs::exists(test::corpusDir() / "schemas" / xsd))                                  \
                GTEST_SKIP() << "the schema " << xsd << " is not in the corpus";                   \
    } while (0)

TEST_F(ExportTest, SingleTrackValidatesAgainstTheSchemas)
{
    TW_REQUIRE_SCHEMAS("gpx11.xsd", "ogckml22.xsd");
    const fs::path schemas = test::corpusDir() / "schemas";
    options.kml = true;
    // The start marker alone: a line string without a coordinate.
    const fs::path empty = exportTrack(logger, 1, options).written.at(0);
    EXPECT_NE(schemaCheck(empty, schemas / "ogckml22.xsd").find("validates"), std::string::npos)
        << schemaCheck(empty, schemas / "ogckml22.xsd");
    record(5);
    options.gpx = true;
    const auto r = exportTrack(logger, 1, options);
    ASSERT_EQ(r.written.size(), 2u);
    for (const auto& [file, xsd] : {std::pair{r.written[0], "gpx11.xsd"}, std::pair{r.written[1], "ogckml22.xsd"}}) {
        const std::string out = schemaCheck(file, schemas / xsd);
        EXPECT_NE(out.find("validates"), std::string::npos) << out;
    }
    // What readers show: the names and every coordinate, in order.
    const std::string kml = ascii(test::readFile(r.written[1]));
    EXPECT_NE(kml.find("<Document><name><![CDATA[track]]></name>"), std::string::npos) << kml;
    EXPECT_NE(kml.find("<Folder id=\"Tracks\"><name>Tracks</name>"), std::string::npos) << kml;
    EXPECT_NE(kml.find("<Placemark><name><![CDATA[Tarnwick track log]]></name>"), std::string::npos) << kml;
    EXPECT_NE(kml.find("<coordinates>16.600000000,49.200000000,100.000 16.600000000,49.200300000,100.000 "),
              std::string::npos)
        << kml;
}

TEST_F(ExportTest, EveryTrackValidatesAgainstTheSchemas)
{
    TW_REQUIRE_SCHEMAS("gpx11.xsd", "ogckml22.xsd");
    for (int id = 1; id <= 3; ++id) {
        if (id > 1)
            logger.newTrack();
        clock += 3600;
        record(id + 1);
    }
    options.gpx = options.kml = true;
    ASSERT_TRUE(exportAllTracks(logger, options));
    int files = 0;
    for (const auto& e : fs::directory_iterator(options.folder)) {
        const std::string xsd = e.path().extension() == ".gpx" ? "gpx11.xsd" : "ogckml22.xsd";
        const std::string out = schemaCheck(e.path(), test::corpusDir() / "schemas" / xsd);
        EXPECT_NE(out.find("validates"), std::string::npos) << out;
        ++files;
    }
    EXPECT_EQ(files, 6);
}

} // namespace
} // namespace tw

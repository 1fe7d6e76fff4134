// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Enumerations.h"
#include "exchange/DeviceVisits.h"
#include "exchange/FieldNotes.h"
#include "tests/TestSupport.h"
#include "tests/exchange/VisitsFileBytes.h"

#include <sys/stat.h>

namespace tw {
namespace {

using test::VisitsLayout;

// The sample visits as they must read, whatever the layout of the file.
void expectSampleVisits(const DeviceVisits& read)
{
    ASSERT_EQ(read.error, DeviceVisits::Error::None);
    ASSERT_EQ(read.visits.size(), 4u);
    EXPECT_EQ(read.unattempted, 1);

    const DeviceVisit& find = read.visits[0];
    EXPECT_EQ(find.code, "GC1A2B3");
    EXPECT_EQ(find.utcTime, "2024-05-18T09:15Z");
    EXPECT_EQ(find.when, *fieldNoteUtcSeconds("2024-05-18T09:15Z"));
    EXPECT_EQ(find.logType, LogType::FoundIt);
    // Quotes undoubled, the comma kept, the line break as notes store it,
    // the emoji as one four-byte character.
    EXPECT_EQ(find.text, "Nice \"box\", dry\r\nSecond line \xF0\x9F\x98\x80");
    EXPECT_EQ(find.lineNumber, 1);

    EXPECT_EQ(read.visits[1].logType, LogType::DidntFindIt);
    EXPECT_EQ(read.visits[1].text, "");
    EXPECT_EQ(read.visits[1].lineNumber, 3); // the find's text took two lines
    EXPECT_EQ(read.visits[2].code, "GC3C4D5");
    EXPECT_EQ(read.visits[2].logType, LogType::WriteNote);
    EXPECT_EQ(read.visits[2].text, "Muggles, come back later");
    EXPECT_EQ(read.visits[3].logType, LogType::NeedsMaintenance);
}

TEST(DeviceVisitsTest, EveryLayoutOfTheFileReadsAlike)
{
    for (const bool utf16 : {true, false})
        for (const bool mark : {true, false})
            for (const bool crlf : {true, false}) {
                SCOPED_TRACE(std::string(utf16 ? "UTF-16" : "UTF-8") + (mark ? " with mark" : " without mark") +
                             (crlf ? ", CR LF" : ", LF"));
                expectSampleVisits(
                    parseDeviceVisits(test::visitsFileBytes(test::sampleVisitLines(), {utf16, mark, crlf})));
            }
}

TEST(DeviceVisitsTest, VisitsComeOldestFirstAndSecondsAreDropped)
{
    const auto read = parseDeviceVisits(test::visitsFileBytes({
        "GC2,2024-05-18T10:00:59Z,Found it,\"later\"",
        "GC1,2024-05-18T09:00Z,Found it,\"earlier\"",
        "GC3,2024-05-18T10:00Z,Write note,\"same minute, read after\"",
    }));
    ASSERT_EQ(read.error, DeviceVisits::Error::None);
    ASSERT_EQ(read.visits.size(), 3u);
    EXPECT_EQ(read.visits[0].code, "GC1");
    EXPECT_EQ(read.visits[1].code, "GC2");
    EXPECT_EQ(read.visits[1].utcTime, "2024-05-18T10:00Z");
    EXPECT_EQ(read.visits[1].when, read.visits[2].when);
    EXPECT_EQ(read.visits[2].code, "GC3");
}

TEST(DeviceVisitsTest, TheUnitsLogNamesMapOntoOurs)
{
    EXPECT_EQ(deviceLogType("Found it"), LogType::FoundIt);
    EXPECT_EQ(deviceLogType("Didn't find it"), LogType::DidntFindIt);
    EXPECT_EQ(deviceLogType("Write note"), LogType::WriteNote);
    EXPECT_EQ(deviceLogType("Needs Maintenance"), LogType::NeedsMaintenance);
    EXPECT_EQ(deviceLogType("Needs Archiving"), LogType::NeedsArchived);
    EXPECT_EQ(deviceLogType("Attended"), LogType::Attended);
    EXPECT_EQ(deviceLogType("Webcam Photo Taken"), LogType::WebcamPhotoTaken);
    EXPECT_EQ(deviceLogType("unattempted"), std::nullopt);
    EXPECT_EQ(deviceLogType("Something new"), LogType::WriteNote);
}

TEST(DeviceVisitsTest, DamagedFilesGiveTheirFaultAndNoVisit)
{
    struct Case {
        std::string bytes;
        DeviceVisits::Error error;
        int line;
    };
    const std::string good = "GC1,2024-05-18T09:00Z,Found it,\"fine\"";
    std::string odd = test::visitsFileBytes({good, good});
    odd.pop_back();
    const Case cases[] = {
        {odd, DeviceVisits::Error::HalfCharacter, 0},
        {test::visitsFileBytes({good, "GC2,2024-05-18T09:10Z,Found it,\"never closed", "GC3,x,y,\"z"}),
         DeviceVisits::Error::QuoteNotClosed, 2},
        {test::visitsFileBytes({good, "GC2 found it"}), DeviceVisits::Error::NotAVisit, 2},
        {test::visitsFileBytes({good, ",2024-05-18T09:10Z,Found it,\"no code\""}), DeviceVisits::Error::NotAVisit, 2},
        {test::visitsFileBytes({good, "GC2,18.5.2024 9:10,Found it,\"\""}), DeviceVisits::Error::BadTime, 2},
        {test::visitsFileBytes({good, "GC2,2024-02-30T09:10Z,Found it,\"\""}), DeviceVisits::Error::BadTime, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const auto read = parseDeviceVisits(c.bytes);
        EXPECT_EQ(read.error, c.error);
        EXPECT_EQ(read.errorLine, c.line);
        EXPECT_TRUE(read.visits.empty());
    }
}

TEST(DeviceVisitsTest, QuotesTheExportLeavesSingleReadAsTheyStand)
{
    // The export writes the user's quotes as they are; its own files read back.
    const auto lines = readFieldNoteLines("GC1,2011-11-24T18:30Z,Found it,\"Díky, \"super\" keš\"\n"
                                          "GC2,2011-11-24T18:31Z,Write note,\"ends in \"\"\"\"\"\n");
    ASSERT_EQ(lines.error, FieldNoteLines::Error::None);
    ASSERT_EQ(lines.lines.size(), 2u);
    EXPECT_EQ(lines.lines[0].text, "Díky, \"super\" keš");
    EXPECT_EQ(lines.lines[1].text, "ends in \"\"");
}

class DeviceVisitsFileTest : public test::TempDirTest {};

TEST_F(DeviceVisitsFileTest, OnlyARegularFileOfBoundedSizeIsRead)
{
    const auto file = dir / "geocache_visits.txt";
    EXPECT_EQ(readDeviceVisits(file).error, DeviceVisits::Error::Unreadable);
    test::writeFile(file, test::visitsFileBytes(test::sampleVisitLines()));
    expectSampleVisits(readDeviceVisits(file));

    test::writeFile(file, std::string(kMaxVisitsFileBytes + 2, 'x'));
    EXPECT_EQ(readDeviceVisits(file).error, DeviceVisits::Error::Unreadable);
    std::filesystem::remove(file);
    ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
    EXPECT_EQ(readDeviceVisits(file).error, DeviceVisits::Error::Unreadable);
    EXPECT_EQ(readDeviceVisits(dir).error, DeviceVisits::Error::Unreadable);
}

} // namespace
} // namespace tw

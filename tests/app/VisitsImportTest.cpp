// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"
#include "app/CTarnwickApp.h"
#include "app/FieldNotesJob.h"
#include "app/VisitsImport.h"
#include "db/CacheReader.h"
#include "db/CacheStore.h"
#include "exchange/FieldNotes.h"
#include "platform/IniFile.h"
#include "platform/RecordingJobProgress.h"
#include "tests/app/AppFixture.h"
#include "tests/app/FakeDevice.h"
#include "tests/exchange/VisitsFileBytes.h"

#include <sqlite3.h>

#include <cstdlib>

namespace tw {
namespace {

class NoWindow final : public StartupUi {
public:
    void showProgress(const std::string&) override {}
    void closeProgress() override {}
    bool createMainWindow() override { return true; }
};

// A unit plugged in with the sample visits, and a database holding three of
// their four caches (GC9ZZZZ is missing).
class VisitsImportTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        // Central European summer time in May: the unit's 09:15Z is 11:15.
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        AppFixture::SetUp();
        std::filesystem::create_directories(dir / "data");
        test::copyTemplateDb(global->settings.dbFile);
        openDb();
        for (const char* code : {"GC1A2B3", "GC2B3C4", "GC3C4D5"}) {
            CGeocache c;
            c.code = code;
            c.name = std::string("Cache ") + code;
            ASSERT_TRUE(CacheStore(global->db.cacheDb, global->db.tagCategories).InsertCache(c));
        }
        volume = test::makeFakeDevice(dir / "media" / "GARMIN");
        writeVisits(test::sampleVisitLines());
    }

    void openDb()
    {
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
    }

    void writeVisits(const std::vector<std::string>& lines, test::VisitsLayout layout = {})
    {
        test::writeFile(volume / kVisitsFilePath, test::visitsFileBytes(lines, layout));
    }

    VisitsSource unit()
    {
        const auto source = visitsSourceAt(volume.string());
        EXPECT_TRUE(source.has_value());
        return source.value_or(VisitsSource{});
    }

    VisitsSummary readUnit() { return importVisits(*global, unit(), &progress); }

    CGeocache cache(const std::string& code)
    {
        auto c = LoadCacheByCode(global->db.cacheDb, code);
        EXPECT_TRUE(c.has_value()) << code;
        if (!c)
            return {};
        loadDetails(global->db.cacheDb, *c, global->db.tagCategories);
        return std::move(*c); // a copy would leave the note behind
    }

    // Every cache's note as "CODE|type|time|text", for comparing whole states.
    std::vector<std::string> notes()
    {
        std::vector<std::string> all;
        for (const char* code : {"GC1A2B3", "GC2B3C4", "GC3C4D5"}) {
            const CGeocache c = cache(code);
            all.push_back(c.code + "|" + std::to_string(c.fieldNoteType) + "|" + c.fieldNoteTime + "|" +
                          std::to_string(c.found) + "|" + c.fieldNoteText);
        }
        return all;
    }

    void forgetStamps()
    {
        IniFile ini(global->settingsPath());
        ini.reload();
        ini.setString("Devices", "id:3849583012", "");
        ini.save();
    }

    std::filesystem::path volume;
    RecordingJobProgress progress;
};

TEST_F(VisitsImportTest, EachVisitBecomesTheCachesFieldNote)
{
    const VisitsSummary summary = readUnit();
    ASSERT_EQ(summary.error, "");
    EXPECT_EQ(summary.taken.size(), 3u);
    ASSERT_EQ(summary.unplaced.size(), 1u);
    EXPECT_EQ(summary.unplaced[0].code, "GC9ZZZZ");
    EXPECT_EQ(summary.unattempted, 1);

    const CGeocache find = cache("GC1A2B3");
    EXPECT_EQ(find.found, 20240518);
    EXPECT_EQ(find.foundTime, 1115);
    EXPECT_EQ(find.fieldNoteType, LogType::FoundIt);
    EXPECT_EQ(find.fieldNoteText, "Nice \"box\", dry\r\nSecond line \xF0\x9F\x98\x80");
    const CGeocache dnf = cache("GC2B3C4");
    EXPECT_EQ(dnf.found, 0);
    EXPECT_EQ(dnf.fieldNoteType, LogType::DidntFindIt);
    EXPECT_EQ(dnf.fieldNoteTime, "20240518-1202");
    EXPECT_EQ(cache("GC3C4D5").fieldNoteText, "Muggles, come back later");
    EXPECT_EQ(global->settings.foundCount, 1);
    EXPECT_EQ(rememberedVisitTime(*global, unit().key), "2024-05-18T12:30Z");

    // The unplaced visit is said in the completion and in the listing.
    EXPECT_NE(progress.completion().find("GC9ZZZZ"), std::string::npos) << progress.completion();
    EXPECT_EQ(progress.counter(1), 3);
    EXPECT_EQ(progress.counter(3), 1);
    const auto listing = visitsListing(*global, summary);
    ASSERT_EQ(listing.size(), 4u);
    EXPECT_EQ(listing[0], "taken: GC1A2B3, Found it, 2024-05-18 11:15");
    EXPECT_EQ(listing[3], "not in the database: GC9ZZZZ, Needs Maintenance, 2024-05-18 14:30");

    // The export takes them as notes made on the visit screen.
    global->settings.fnFile = (dir / "fieldnotes.txt").string();
    ASSERT_TRUE(exportFieldNotes(*global, *fieldNoteUtcSeconds("2024-05-17T00:00Z")));
    const std::string exported = test::readFile(dir / "fieldnotes.txt");
    std::u16string units;
    for (std::size_t i = 2; i + 1 < exported.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(exported[i]) |
                                       static_cast<unsigned char>(exported[i + 1]) << 8);
    const std::string text = toUtf8(units);
    EXPECT_NE(text.find("GC1A2B3,2024-05-18T09:15Z,Found it,\"Nice \"box\", dry\r\nSecond line \xF0\x9F\x98\x80\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("GC2B3C4,2024-05-18T10:02Z,Didn't find it,\"\""), std::string::npos) << text;
    EXPECT_EQ(text.find("GC9ZZZZ"), std::string::npos);
}

TEST_F(VisitsImportTest, ReadingTwiceTakesNothingTwiceEvenWithoutTheRememberedTime)
{
    ASSERT_EQ(readUnit().taken.size(), 3u);
    const auto once = notes();
    EXPECT_EQ(newVisitCount(*global, unit()), 0);

    const VisitsSummary again = readUnit();
    EXPECT_TRUE(again.taken.empty());
    EXPECT_EQ(again.readBefore, 3); // GC9ZZZZ's visit is the remembered minute: looked up again
    EXPECT_EQ(notes(), once);

    forgetStamps();
    EXPECT_EQ(newVisitCount(*global, unit()), 4);
    const VisitsSummary lost = readUnit();
    EXPECT_TRUE(lost.taken.empty());
    EXPECT_EQ(lost.readBefore, 3);
    EXPECT_EQ(lost.unplaced.size(), 1u);
    EXPECT_EQ(notes(), once);
    EXPECT_EQ(global->settings.foundCount, 1);
    EXPECT_EQ(rememberedVisitTime(*global, unit().key), "2024-05-18T12:30Z");

    // A visit made since is the only new one, in either file layout.
    auto lines = test::sampleVisitLines();
    lines.push_back("GC3C4D5,2024-05-19T08:00Z,Found it,\"Found on the second try\"");
    writeVisits(lines, {true, false, false});
    EXPECT_EQ(newVisitCount(*global, unit()), 1);
    const VisitsSummary later = readUnit();
    ASSERT_EQ(later.taken.size(), 1u);
    EXPECT_EQ(later.readBefore, 3);
    EXPECT_EQ(later.unplaced.size(), 1u);
    EXPECT_EQ(cache("GC3C4D5").fieldNoteText, "Muggles, come back later\r\nFound on the second try");
}

TEST_F(VisitsImportTest, SeveralVisitsOfOneCacheJoinTheirTextsAndTheNewestGivesTheType)
{
    writeVisits({
        "GC1A2B3,2024-05-18T09:15Z,Didn't find it,\"No luck\"",
        "GC1A2B3,2024-05-19T16:00Z,Found it,\"Got it\"",
        "GC1A2B3,2024-05-20T07:30Z,Needs Maintenance,\"Wet log\"",
    });
    ASSERT_EQ(readUnit().taken.size(), 3u);
    CGeocache c = cache("GC1A2B3");
    // The later maintenance note keeps the find, as the visit screen does.
    EXPECT_EQ(c.found, 20240519);
    EXPECT_EQ(c.foundTime, 1800);
    EXPECT_EQ(c.fieldNoteType, LogType::NeedsMaintenance);
    EXPECT_EQ(c.fieldNoteTime, "20240520-0930");
    EXPECT_EQ(c.fieldNoteText, "No luck\r\nGot it\r\nWet log");

    forgetStamps();
    const VisitsSummary again = readUnit();
    EXPECT_TRUE(again.taken.empty());
    EXPECT_EQ(again.readBefore, 3);
    EXPECT_EQ(cache("GC1A2B3").fieldNoteText, "No luck\r\nGot it\r\nWet log");
}

TEST_F(VisitsImportTest, ADamagedFileIsSaidAndTakesNothing)
{
    auto lines = test::sampleVisitLines();
    lines.push_back("GC2B3C4,2024-05-18T13:00Z,Write note,\"never closed");
    writeVisits(lines);
    const auto before = notes();
    const VisitsSummary summary = readUnit();
    EXPECT_TRUE(summary.taken.empty());
    EXPECT_EQ(summary.error, (volume / kVisitsFilePath).string() +
                                 " is damaged: the text of the visit in line 7 is not closed by a quote. No visit "
                                 "was taken.");
    EXPECT_EQ(progress.completion(), summary.error);
    EXPECT_EQ(notes(), before);
    EXPECT_EQ(rememberedVisitTime(*global, unit().key), "");

    std::string odd = test::visitsFileBytes(test::sampleVisitLines());
    odd.pop_back();
    test::writeFile(volume / kVisitsFilePath, odd);
    EXPECT_NE(readUnit().error.find("ends in half a character"), std::string::npos);
    EXPECT_EQ(notes(), before);
}

TEST_F(VisitsImportTest, TheBatchWordReadsAUnitOrAFileAndListsWhatItTook)
{
    const auto file = dir / "copied_visits.txt";
    test::writeFile(file, test::visitsFileBytes(test::sampleVisitLines(), {false, false, false}));
    auto run = [&](const std::vector<std::string>& words) {
        restart();
        CTarnwickApp app(*global);
        app.batch = defaultBatchActions();
        NoWindow ui;
        EXPECT_TRUE(app.InitInstance(words, ui));
        return app.ExitInstance();
    };
    testing::internal::CaptureStdout();
    const int code = run({"visits", file.string()});
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(code, 0);
    // The program speaks Czech unless told otherwise.
    EXPECT_NE(out.find("převzato: GC1A2B3, Nalezeno, 2024-05-18 11:15\n"), std::string::npos) << out;
    EXPECT_NE(out.find("není v databázi: GC9ZZZZ, Potřebuje údržbu, 2024-05-18 14:30\n"), std::string::npos) << out;
    openDb();
    EXPECT_EQ(cache("GC1A2B3").found, 20240518);
    // The file counts by its path; the unit by its id: its visits are the same ones.
    EXPECT_EQ(rememberedVisitTime(*global, "file:" + file.string()), "2024-05-18T12:30Z");
    EXPECT_EQ(rememberedVisitTime(*global, unit().key), "");
    testing::internal::CaptureStdout();
    EXPECT_EQ(run({"visits", volume.string()}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find("převzato:"), std::string::npos);

    EXPECT_NE(run({"visits", (dir / "nothing here").string()}), 0);
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CacheStore.h"
#include "db/Database.h"
#include "exchange/FieldNotes.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "xml/Utf16.h"

#include <sqlite3.h>

#include <cstdlib>

namespace tw {
namespace {

std::time_t localAt(int y, int mo, int d, int h, int mi)
{
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

// The file as UTF-8 lines, after checking its UTF-16LE form.
std::vector<std::string> linesOf(const std::string& bytes)
{
    EXPECT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       static_cast<unsigned char>(bytes[i + 1]) << 8);
    std::vector<std::string> lines;
    std::string text = toUtf8(units);
    EXPECT_TRUE(text.empty() || text.back() == '\n');
    std::size_t start = 0;
    for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

class FieldNotesTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        // Central European time with summer time, without needing tzdata.
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
        test::copyTemplateDb(dir / "cachedb.db3");
        ASSERT_EQ(db.OpenFile((dir / "cachedb.db3").string()), SQLITE_OK);
        categories = resolveTagCategories(db);
    }

    CGeocache& cache(const std::string& code)
    {
        auto c = std::make_unique<CGeocache>();
        c->code = code;
        EXPECT_TRUE(CacheStore(db, categories).InsertCache(*c));
        caches.push_back(std::move(c));
        return *caches.back();
    }

    void note(CGeocache& c, int type, const std::string& text, std::time_t when)
    {
        ASSERT_TRUE(CacheStore(db, categories).SetFoundState(c, type, text, when));
    }

    FieldNotesExport exportSince(std::time_t since, const std::string& templ = "[L]", int extra = 0)
    {
        return ExportFieldNotes(db, categories, since, dir / "fieldnotes.txt", templ, extra);
    }

    std::vector<std::string> exported() { return linesOf(test::readFile(dir / "fieldnotes.txt")); }

    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    TagCategories categories;
    std::vector<std::unique_ptr<CGeocache>> caches;
};

TEST_F(FieldNotesTest, FindIsWrittenInUtcWithTheFileFormat)
{
    CGeocache& c = cache("GC1A2B3");
    note(c, LogType::FoundIt, "Díky, \"super\" keš", localAt(2011, 11, 24, 19, 30));
    EXPECT_EQ(c.found, 20111124);
    EXPECT_EQ(c.foundTime, 1930);
    EXPECT_EQ(c.fieldNoteTime, "20111124-1930");

    const auto result = exportSince(localAt(2011, 11, 23, 12, 0));
    ASSERT_TRUE(result.written);
    EXPECT_EQ(result.foundCount, 1);
    const std::string bytes = test::readFile(dir / "fieldnotes.txt");
    EXPECT_EQ(bytes.substr(bytes.size() - 2), std::string("\x0A\x00", 2));
    EXPECT_EQ(bytes.find(std::string("\x0D\x00", 2)), std::string::npos);
    EXPECT_EQ(exported(), std::vector<std::string>{"GC1A2B3,2011-11-24T18:30Z,Found it,\"Díky, \"super\" keš\""});
}

TEST(FieldNoteTime, UtcAcrossMidnightAndSummerTime)
{
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    EXPECT_EQ(fieldNoteUtcTime(20120301, 30), "2012-02-29T23:30Z");
    // In summer the clock is two hours ahead: the standard offset alone
    // would put the visit an hour late.
    EXPECT_EQ(fieldNoteUtcTime(20120724, 1930), "2012-07-24T17:30Z");
    EXPECT_EQ(fieldNoteUtcTime(20111231, 2359), "2011-12-31T22:59Z");
}

TEST_F(FieldNotesTest, TemplateNumbersFindsAndLeavesOtherNotesUnnumbered)
{
    CGeocache& old = cache("GC1");
    note(old, LogType::FoundIt, "old", localAt(2011, 1, 5, 10, 0));
    CGeocache& a = cache("GC2");
    note(a, LogType::FoundIt, "first", localAt(2011, 11, 24, 9, 5));
    CGeocache& dnf = cache("GC3");
    note(dnf, LogType::DidntFindIt, "nothing", localAt(2011, 11, 24, 10, 0));
    EXPECT_EQ(dnf.found, 0);
    CGeocache& b = cache("GC4");
    note(b, LogType::FoundIt, "second", localAt(2011, 11, 25, 8, 0));

    const auto result = exportSince(localAt(2011, 11, 24, 0, 0), "[N]. nález v [T]: [L]", 100);
    EXPECT_EQ(result.foundCount, 3);
    const auto lines = exported();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "GC2,2011-11-24T08:05Z,Found it,\"102. nález v 09:05: first\"");
    // A note that is no find keeps the visit's date and time, and no number.
    EXPECT_EQ(lines[1], "GC3,2011-11-24T09:00Z,Didn't find it,\". nález v 10:00: nothing\"");
    EXPECT_EQ(lines[2], "GC4,2011-11-25T07:00Z,Found it,\"103. nález v 08:00: second\"");
    EXPECT_EQ(findNumberOf(db, 20111125, 800, 100), 103);
}

TEST_F(FieldNotesTest, SameMinuteKeepsBothAndEmptyTemplateKeepsTheText)
{
    CGeocache& a = cache("GC5");
    CGeocache& b = cache("GC6");
    note(a, LogType::FoundIt, "A", localAt(2012, 5, 1, 12, 0));
    note(b, LogType::FoundIt, "B", localAt(2012, 5, 1, 12, 0));
    exportSince(localAt(2012, 5, 1, 0, 0), "");
    const auto lines = exported();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("\"A\""), std::string::npos);
    EXPECT_NE(lines[1].find("\"B\""), std::string::npos);
}

// The file is UTF-16: an emoji is its two surrogates; a stored text with
// bytes that are no UTF-8 (an encoded surrogate, a cut sequence) gives
// U+FFFD, never a surrogate without its partner.
TEST_F(FieldNotesTest, CharactersBeyondTheBasicPlaneAreSurrogatePairs)
{
    CGeocache& a = cache("GC7");
    CGeocache& b = cache("GC8");
    note(a, LogType::FoundIt, "TFTC \xF0\x9F\x93\xAF", localAt(2012, 5, 1, 12, 0));
    note(b, LogType::FoundIt, "\xED\xA0\xBD|\xF0\x9F\x93", localAt(2012, 5, 1, 12, 1));
    exportSince(localAt(2012, 5, 1, 0, 0), "");
    const std::string bytes = test::readFile(dir / "fieldnotes.txt");
    EXPECT_NE(bytes.find(std::string("T\0C\0 \0\x3D\xD8\xEF\xDC\"\0", 12)), std::string::npos);
    std::size_t surrogates = 0;
    for (std::size_t i = 3; i < bytes.size(); i += 2)
        surrogates += (static_cast<unsigned char>(bytes[i]) & 0xF8) == 0xD8;
    EXPECT_EQ(surrogates, 2u);
    const auto lines = exported();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find(",\"\xEF\xBF\xBD|\xEF\xBF\xBD\""), std::string::npos) << lines[1];
}

TEST_F(FieldNotesTest, FileThatCannotBeWrittenChangesNothing)
{
    test::writeFile(dir / "blocker", "x");
    const auto result = ExportFieldNotes(db, categories, 0, dir / "blocker" / "fn.txt", "[L]", 0);
    EXPECT_FALSE(result.written);
}

TEST(FieldNoteTemplate, Placeholders)
{
    EXPECT_EQ(applyFieldNoteTemplate("[N] [T] [L]", 7, 5, "5", "TFTC"), "5 07:05 TFTC");
    EXPECT_EQ(applyFieldNoteTemplate("#[N]", 7, 5, "", "x"), "#");
    EXPECT_EQ(applyFieldNoteTemplate("", 7, 5, "5", "just text"), "just text");
}

} // namespace
} // namespace tw

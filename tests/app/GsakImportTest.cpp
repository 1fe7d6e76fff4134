// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/BatchMode.h"
#include "app/CTarnwickApp.h"
#include "app/GpxImport.h"
#include "db/CacheStore.h"
#include "platform/Clock.h"
#include "platform/RecordingJobProgress.h"
#include "platform/Text.h"
#include "tests/app/AppFixture.h"
#include "tests/app/GsakTestDatabase.h"

#include <sqlite3.h>

#include <fstream>

namespace tw {
namespace {

using test::GsakTestDatabase;

class GsakImportTest : public test::AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        test::copyTemplateDb(global->settings.dbFile);
        ASSERT_EQ(global->db.cacheDb.OpenFile(global->settings.dbFile), SQLITE_OK);
        global->db.InitTagCategories();
        // The texts the messages are compared with, in the language the
        // fallbacks of the code are written in.
        global->lang.loadTable(test::runtimeDir(), "en");
        ASSERT_FALSE(global->text(1262).empty());
        file = dir / "manager" / "sqlite.db3";
        std::filesystem::create_directories(file.parent_path());
    }

    // One row of the cache database as text, the columns joined by '|'.
    std::string row(const std::string& sql)
    {
        SQLite::Statement q(global->db.cacheDb, sql);
        std::string out;
        while (q.Next()) {
            if (!out.empty())
                out += "\n";
            for (int i = 0; i < q.columnCount(); ++i)
                out += (i ? "|" : "") + q.ColumnText(i);
        }
        return out;
    }
    int count(const std::string& sql) { return std::stoi(row(sql)); }
    std::string text(const char* column, const std::string& code)
    {
        SQLite::Statement q(global->db.cacheDb, std::string("SELECT ") + column + " FROM geolist WHERE id = ?");
        q.BindText(1, code);
        return q.Next() ? DecompressText(q.ColumnBlob(0)) : "(none)";
    }
    // The cache's tags but the import marker, "category=value" in order.
    std::string tags(const std::string& code)
    {
        return row("SELECT group_concat(tag, ',') FROM (SELECT k.value || '=' || v.value AS tag FROM geotag t "
                   "JOIN geotagcategory k ON k.key = t.ptrkat JOIN geotagvalue v ON v.key = t.ptrvalue "
                   "WHERE t.id = '" + code + "' AND t.ptrkat <> " + std::to_string(global->db.tagCategories.lastImport) +
                   " ORDER BY tag)");
    }
    // Everything an import stores, keys left out: equal dumps are equal data.
    // A replaced cache's note may come back with CR LF line ends (the store
    // merges notes in their shown form); the dump reads them as LF.
    std::string dump()
    {
        return row("SELECT id, guid, x, y, name, author, cachetype, cachesize, difficulty, terrain, cachestatus, "
                   "dthidden, replace(comment, char(13), ''), dtfound, country, state FROM geocache ORDER BY id") +
               row("SELECT id, dt, type, finder, hex(logtext) FROM geolog ORDER BY id, dt") +
               row("SELECT id, prefixid, name, x, y, cmt, wpttype FROM waypoint ORDER BY id, prefixid") +
               row("SELECT id, ptrkat, ptrvalue FROM geotag ORDER BY id, ptrkat, ptrvalue") +
               row("SELECT id, hex(shortdesc), hex(longdesc), hint FROM geolist ORDER BY id");
    }
    std::string fill(int number, std::initializer_list<std::string_view> values)
    {
        return text::fillIn(global->text(number), values);
    }
    // A database of one cache of every type letter, the first three with
    // everything the manager keeps about a cache.
    void writeEveryType()
    {
        GsakTestDatabase db(file);
        const std::string letters = "ABCDEFGHIJLMNOPQRTUVWXYZ";
        for (std::size_t i = 0; i < letters.size(); ++i)
            db.addFullCache("GC10" + std::string(1, letters[i]) + std::to_string(i % 10), letters.substr(i, 1));
        // Corrected, found, archived, with notes and a DNF, Windows line ends.
        db.insert("Caches",
                  {{"Code", "GCX1"}, {"Name", "Pražský hrad"}, {"PlacedBy", "placer"}, {"OwnerName", ""},
                   {"CacheType", "U"}, {"Container", "micro"}, {"Difficulty", "3.5"}, {"Terrain", 4.0},
                   {"Latitude", "50.0901"}, {"Longitude", "14.4003"}, {"LatOriginal", "50.08"},
                   {"LonOriginal", "14.39"}, {"HasCorrected", 1}, {"Archived", 1}, {"TempDisabled", 0},
                   {"Found", 1}, {"FoundByMeDate", "2022-08-15"}, {"PlacedDate", "2011-11-24"},
                   {"Country", "Czechia"}, {"State", "Praha"}, {"FavPoints", 42}, {"DNF", 1},
                   {"DNFDate", "2021-03-20"}, {"UserData", "code 1234"}, {"LongHtm", 0}, {"ShortHtm", 0}});
        db.insert("CacheMemo", {{"Code", "GCX1"}, {"LongDescription", "Line one\r\nLine two"},
                                {"ShortDescription", "Short"}, {"Hints", "under the stone"},
                                {"UserNote", "Solved: N 50 05.406\r\nE 014 24.018"}, {"GcNote", "site note"}});
        db.insert("Logs", {{"lParent", "GCX1"}, {"lLogId", 7}, {"lType", "Found it"}, {"lBy", "me"},
                           {"lDate", "2022-08-15"}});
        db.insert("LogMemo", {{"lParent", "GCX1"}, {"lLogId", 7}, {"lText", "Found it at last."}});
        db.insert("Waypoints", {{"cParent", "GCX1"}, {"cCode", "FNX1"}, {"cName", "Final"},
                                {"cType", "Final Location"}, {"cLat", 50.0901}, {"cLon", 14.4003}});
        db.insert("Attributes", {{"aCode", "GCX1"}, {"aId", 24}, {"aInc", 1}});
        // Disabled, booleans as words, no coordinates known before no correction.
        db.insert("Caches", {{"Code", "GCX2"}, {"Name", "Second"}, {"CacheType", "T"}, {"Container", "Regular"},
                             {"Difficulty", 1.0}, {"Terrain", 1.0}, {"Latitude", 49.5}, {"Longitude", -8.25},
                             {"LatOriginal", "49.5"}, {"LonOriginal", "-8.25"}, {"HasCorrected", "False"},
                             {"Archived", "False"}, {"TempDisabled", "True"}, {"Found", "False"},
                             {"FavPoints", -1}});
        // No place on Earth: counted, not stored.
        db.insert("Caches", {{"Code", "GCX3"}, {"Name", "Nowhere"}, {"CacheType", "T"}, {"Latitude", "95.0"},
                             {"Longitude", "14.0"}});
    }

    std::filesystem::path file;
};

TEST_F(GsakImportTest, EveryTypeAndFieldImportsExactly)
{
    writeEveryType();
    RecordingJobProgress progress;
    const ImportSummary s = importGpx(*global, file, &progress, nullptr);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_TRUE(s.complete);
    EXPECT_TRUE(s.database);
    EXPECT_EQ(s.newCaches, 26);
    EXPECT_EQ(s.notCaches, 1);
    EXPECT_EQ(s.waypoints, 25);
    EXPECT_EQ(s.logs, 24 * 2 + 1);
    EXPECT_EQ(progress.counter(1), 26);
    EXPECT_EQ(progress.counter(2), 25);
    EXPECT_EQ(progress.range(), 27);
    EXPECT_EQ(importCompletionText(*global, s),
              fill(1262, {"26", "0", "25", "49"}) + " " + text::replaceAll(global->text(1171), "%d", "1"));

    // The letters on the program's types: events of every kind are events;
    // what has no container is virtual; kinds of their own are Other.
    EXPECT_EQ(row("SELECT group_concat(substr(id, 5, 1) || '=' || cachetype, ',') FROM "
                  "(SELECT * FROM geocache WHERE id LIKE 'GC10%' ORDER BY id)"),
              "A=Other,B=Letterbox Hybrid,C=Event Cache,D=Event Cache,E=Event Cache,F=Event Cache,"
              "G=Virtual Cache,H=Other,I=Wherigo Cache,J=Event Cache,L=Virtual Cache,M=Multi-cache,"
              "N=Virtual Cache,O=Other,P=Event Cache,Q=Other,R=Earthcache,T=Traditional Cache,"
              "U=Unknown Cache,V=Virtual Cache,W=Webcam Cache,X=Other,Y=Virtual Cache,Z=Event Cache");

    // A whole cache of the usual kind.
    EXPECT_EQ(row("SELECT name, author, cachesize, difficulty, terrain, x, y, cachestatus, dthidden, dtfound, "
                  "country, state FROM geocache WHERE id = 'GC10M1'"),
              "Cache GC10M1|owner 10M1|Small|2.5|1.5|50.1|14.2|0|20150601|0|Czechia|Praha");
    EXPECT_EQ(text("longdesc", "GC10M1"), "<p>Long GC10M1</p>");
    EXPECT_EQ(text("shortdesc", "GC10M1"), "Short GC10M1");
    EXPECT_EQ(row("SELECT hint, longdescflag, shortdescflag FROM geolist WHERE id = 'GC10M1'"), "Hint GC10M1|1|0");
    EXPECT_EQ(row("SELECT dt, type, finder, gs_logid FROM geolog WHERE id = 'GC10M1' ORDER BY dt"),
              "20200102|Found it|finder|1000\n20210304|Didn't find it|seeker|1001");
    {
        SQLite::Statement log(global->db.cacheDb, "SELECT logtext FROM geolog WHERE id = 'GC10M1' ORDER BY dt");
        ASSERT_TRUE(log.Next());
        EXPECT_EQ(DecompressText(log.ColumnBlob(0)), "TFTC GC10M1");
    }
    EXPECT_EQ(row("SELECT prefixid, name, x, y, cmt, wpttype, flag FROM waypoint WHERE id = 'GC10M1'"),
              "PK|Parking|50.101|14.201|Park here GC10M1|Parking Area|1");
    EXPECT_EQ(tags("GC10M1"), "attribute=dogs-yes,attribute=kids-no,favorites=3");

    // The corrected, found, archived one with the user's texts.
    EXPECT_EQ(row("SELECT name, author, cachetype, cachesize, difficulty, terrain, x, y, cachestatus, dtfound "
                  "FROM geocache WHERE id = 'GCX1'"),
              "Pražský hrad|placer|Unknown Cache|Micro|3.5|4.0|50.0901|14.4003|2|20220815");
    EXPECT_EQ(row("SELECT prefixid, name, x, y, wpttype FROM waypoint WHERE id = 'GCX1' ORDER BY prefixid"),
              std::string("FN|Final|50.0901|14.4003|Final Location\n") + kOriginalPositionPrefix + "|" +
                  kOriginalPositionName + "|50.08|14.39|Reference Point");
    EXPECT_EQ(text("longdesc", "GCX1"), "Line one\nLine two");
    EXPECT_EQ(row("SELECT longdescflag FROM geolist WHERE id = 'GCX1'"), "0");
    EXPECT_EQ(row("SELECT comment FROM geocache WHERE id = 'GCX1'"),
              "[UserNote]\nSolved: N 50 05.406\nE 014 24.018\n[GcNote]\nsite note\n[UserData]\ncode 1234");
    EXPECT_EQ(tags("GCX1"), "attribute=wheelchair-yes,dnf=2021-03-20,favorites=42");

    // Words for booleans; the same position twice is no correction; -1 favourites are none.
    EXPECT_EQ(row("SELECT cachestatus, cachesize, x, y FROM geocache WHERE id = 'GCX2'"), "1|Regular|49.5|-8.25");
    EXPECT_EQ(count("SELECT COUNT(*) FROM waypoint WHERE id = 'GCX2'"), 0);
    EXPECT_EQ(tags("GCX2"), "");
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id = 'GCX3'"), 0);
}

TEST_F(GsakImportTest, OlderLayoutImportsWhatIsThere)
{
    {
        GsakTestDatabase db(file, GsakTestDatabase::Layout::Older);
        db.insert("Caches", {{"Code", "GC2OLD"}, {"Name", "Old one"}, {"PlacedBy", "placer"}, {"CacheType", "M"},
                             {"Container", "Large"}, {"Difficulty", "2"}, {"Terrain", 3.5}, {"Latitude", 48.25},
                             {"Longitude", 16.375}, {"Archived", "False"}, {"TempDisabled", "False"},
                             {"Found", "True"}, {"PlacedDate", "2004-02-29 00:00:00"}, {"Country", "Austria"},
                             {"State", "Wien"}, {"LongDescription", "<b>long</b>"}, {"ShortDescription", "short"},
                             {"Hints", "hint"}});
        db.insert("Logs", {{"lParent", "GC2OLD"}, {"lLogId", 5}, {"lType", "Write note"}, {"lBy", "someone"},
                           {"lDate", "2005-01-01"}});
        db.insert("Waypoints", {{"cParent", "GC2OLD"}, {"cCode", "S12OLD"}, {"cName", "Stage 1"},
                                {"cType", "Stages of a Multicache"}, {"cLat", ""}, {"cLon", ""}});
    }
    const ImportSummary s = importGpx(*global, file, nullptr, nullptr);
    ASSERT_TRUE(s.error.empty()) << s.error;
    EXPECT_TRUE(s.complete);
    EXPECT_EQ(s.newCaches, 1);
    EXPECT_EQ(s.waypoints, 1);
    EXPECT_EQ(s.logs, 1);
    EXPECT_EQ(row("SELECT name, author, cachetype, cachesize, difficulty, terrain, x, y, cachestatus, dthidden, "
                  "country, state, comment FROM geocache WHERE id = 'GC2OLD'"),
              "Old one|placer|Multi-cache|Large|2.0|3.5|48.25|16.375|0|20040229|Austria|Wien|");
    // Found without a date: found on the day it came in.
    EXPECT_EQ(count("SELECT dtfound FROM geocache WHERE id = 'GC2OLD'"), todayYmd());
    EXPECT_EQ(text("longdesc", "GC2OLD"), "<b>long</b>");
    EXPECT_EQ(row("SELECT hint, longdescflag FROM geolist WHERE id = 'GC2OLD'"), "hint|1");
    EXPECT_EQ(row("SELECT dt, type, finder FROM geolog WHERE id = 'GC2OLD'"), "20050101|Write note|someone");
    EXPECT_EQ(text("shortdesc", "GC2OLD"), "short");
    // A waypoint without a position is kept without one.
    EXPECT_EQ(row("SELECT prefixid, name, x, y, wpttype FROM waypoint WHERE id = 'GC2OLD'"),
              "S1|Stage 1|0.0|0.0|Stages of a Multicache");
    EXPECT_EQ(tags("GC2OLD"), "");
}

TEST_F(GsakImportTest, DamagedForeignAndOtherFilesAreRefused)
{
    const auto refused = [&](const std::filesystem::path& path) {
        const ImportSummary s = importGpx(*global, path, nullptr, nullptr);
        EXPECT_FALSE(s.complete) << path;
        EXPECT_EQ(s.newCaches + s.waypoints, 0) << path;
        EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id <> 'GC0'"), 0) << path;
        return importCompletionText(*global, s);
    };
    {
        GsakTestDatabase foreign(dir / "tiles.db3", GsakTestDatabase::Layout::Current);
        foreign.exec("DROP TABLE Caches; CREATE TABLE tiles (x, y, z, image)");
    }
    EXPECT_EQ(refused(dir / "tiles.db3"), fill(1260, {"tiles.db3"}));

    // Pages of the caches overwritten: the first page (the schema) still reads.
    writeEveryType();
    std::string bytes = test::readFile(file);
    ASSERT_GT(bytes.size(), 8192u);
    for (std::size_t i = 4096; i < bytes.size(); i += 7)
        bytes[i] = static_cast<char>(0xA5 ^ i);
    test::writeFile(file, bytes);
    const std::string damaged = refused(file);
    EXPECT_TRUE(damaged.starts_with(fill(1261, {"sqlite.db3", ""}).substr(0, 40))) << damaged;
    // No copy is left behind.
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(global->settings.dbFile).parent_path()))
        EXPECT_EQ(entry.path().filename().string().find("import"), std::string::npos) << entry.path();

    // Cut short in its header.
    test::writeFile(dir / "cut.db3", bytes.substr(0, 10));
    EXPECT_EQ(refused(dir / "cut.db3"), fill(1264, {"cut.db3"}));
    test::writeFile(dir / "notes.db3", "GC1ABCD N 50 05.123 E 014 25.456\n");
    EXPECT_EQ(refused(dir / "notes.db3"), fill(1264, {"notes.db3"}));
    // Named otherwise, a text is no GPX file either.
    test::writeFile(dir / "notes.txt", "GC1ABCD\n");
    EXPECT_EQ(refused(dir / "notes.txt"), fill(1161, {"notes.txt", "GC1ABCD"}));
}

// A JobProgress that, the first time the import names a cache, writes to
// the manager's file as the manager would while the import goes on.
class WritingProgress final : public JobProgress {
public:
    explicit WritingProgress(const std::filesystem::path& file) : m_file(file) {}
    void setCounter(int, int) override {}
    void setText(int line, const std::string&) override
    {
        if (line != 1 || written != SQLITE_DONE + 1)
            return;
        written = writeNow(m_file);
    }
    void setRange(int) override {}
    void setPosition(int) override {}
    void finish(const std::string&) override {}

    // An update without waiting for a lock: SQLITE_OK only when the import
    // holds none.
    static int writeNow(const std::filesystem::path& file)
    {
        sqlite3* db = nullptr;
        int rc = sqlite3_open(file.c_str(), &db);
        sqlite3_busy_timeout(db, 0);
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(db, "UPDATE Caches SET Name = Name || '!' WHERE Code = 'GCX2'", nullptr, nullptr,
                              nullptr);
        sqlite3_close(db);
        return rc;
    }
    int written = SQLITE_DONE + 1;

private:
    std::filesystem::path m_file;
};

TEST_F(GsakImportTest, ManagersFileStaysAsItWasAndWritable)
{
    writeEveryType();
    const std::string before = test::readFile(file);
    const ImportSummary s = importGpx(*global, file, nullptr, nullptr);
    ASSERT_TRUE(s.complete) << s.error;
    EXPECT_EQ(test::readFile(file), before);
    // Nothing beside it either: no journal, no log.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"sqlite.db3"});
    EXPECT_EQ(WritingProgress::writeNow(file), SQLITE_OK);

    // The manager writes while the import runs: the import holds no lock
    // on its file after the copy, and what it reads is the copy's.
    WritingProgress progress(file);
    global->settings.impOnlyNew = 0;
    const ImportSummary again = importGpx(*global, file, &progress, nullptr);
    EXPECT_TRUE(again.complete);
    EXPECT_EQ(progress.written, SQLITE_OK);
    EXPECT_EQ(again.updated, 26);
    EXPECT_EQ(row("SELECT name FROM geocache WHERE id = 'GCX2'"), "Second!");
}

TEST_F(GsakImportTest, ImportingTwiceChangesNothingAndKeepsTheUsersNote)
{
    writeEveryType();
    // The user's own note on a cache the database already has.
    {
        CacheStore store(global->db.cacheDb, global->db.tagCategories);
        CGeocache mine;
        mine.code = "GCX1";
        mine.name = "Mine";
        mine.lat = 50.0;
        mine.lon = 14.0;
        mine.comment = "My own note";
        ASSERT_TRUE(store.InsertCache(mine));
    }
    // Only new caches (the default): the user's cache is left as it was.
    const ImportSummary first = importGpx(*global, file, nullptr, nullptr);
    EXPECT_EQ(first.newCaches, 25);
    EXPECT_EQ(first.skipped, 1);
    EXPECT_EQ(row("SELECT name, comment FROM geocache WHERE id = 'GCX1'"), "Mine|My own note");
    const std::string stored = dump();
    const ImportSummary second = importGpx(*global, file, nullptr, nullptr);
    EXPECT_EQ(second.newCaches, 0);
    EXPECT_EQ(second.skipped, 26);
    EXPECT_EQ(second.waypoints, 0);
    EXPECT_EQ(dump(), stored);
    EXPECT_EQ(importCompletionText(*global, second),
              fill(1262, {"0", "0", "0", "0"}) + " " + text::replaceAll(global->text(1171), "%d", "1") + " " +
                  text::replaceAll(global->text(1172), "%d", "26"));

    // Replacing: the manager's copy comes in, the user's note stays with
    // the manager's texts after it, and a second time adds nothing.
    global->settings.impOnlyNew = 0;
    const ImportSummary replaced = importGpx(*global, file, nullptr, nullptr);
    EXPECT_EQ(replaced.updated, 26);
    EXPECT_EQ(row("SELECT name FROM geocache WHERE id = 'GCX1'"), "Pražský hrad");
    const std::string note = row("SELECT comment FROM geocache WHERE id = 'GCX1'");
    EXPECT_TRUE(note.starts_with("My own note")) << note;
    EXPECT_NE(note.find("[UserNote]\nSolved: N 50 05.406"), std::string::npos) << note;
    const std::string afterReplace = dump();
    importGpx(*global, file, nullptr, nullptr);
    EXPECT_EQ(dump(), afterReplace);
    const std::string again = row("SELECT comment FROM geocache WHERE id = 'GCX1'");
    EXPECT_EQ(again.find("[UserNote]"), again.rfind("[UserNote]")) << again;
}

TEST_F(GsakImportTest, BatchWordImportsTheDatabase)
{
    writeEveryType();
    EXPECT_TRUE(defaultBatchActions().importGpx(*global, file.string()));
    EXPECT_EQ(count("SELECT COUNT(*) FROM geocache WHERE id <> 'GC0'"), 26);
    EXPECT_GE(count("SELECT COUNT(*) FROM geotag WHERE ptrkat = " +
                    std::to_string(global->db.tagCategories.lastImport)),
              26);
}

} // namespace
} // namespace tw

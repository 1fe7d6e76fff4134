// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the caches of a pocket query (as make_pocket_query makes them) into
// a database in the layout of the desktop cache manager, for the benchmark
// of its import against GPSBabel reading the same caches as GPX.
//   make_gsak_database POCKET_QUERY.gpx OUT.db3
#include "db/CGeocache.h"
#include "exchange/CGpxImporter.h"
#include "exchange/ImportStore.h"
#include "platform/Numbers.h"
#include "xml/CUtf8FileSource.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <string>

using namespace tw;

namespace {

// The manager's tables, with the keys that make its look-ups by cache fast.
constexpr const char* kSchema = R"sql(
CREATE TABLE Caches (Code TEXT PRIMARY KEY, Name TEXT, PlacedBy TEXT, OwnerName TEXT, CacheType TEXT,
  Container TEXT, Difficulty REAL, Terrain REAL, Latitude TEXT, Longitude TEXT, LatOriginal TEXT,
  LonOriginal TEXT, HasCorrected INTEGER, Archived INTEGER, TempDisabled INTEGER, Found INTEGER,
  PlacedDate TEXT, Country TEXT, State TEXT, FavPoints INTEGER, UserFlag INTEGER, FoundByMeDate TEXT,
  DNF INTEGER, DNFDate TEXT, LongHtm INTEGER, ShortHtm INTEGER);
CREATE TABLE CacheMemo (Code TEXT PRIMARY KEY, LongDescription TEXT, ShortDescription TEXT, Hints TEXT,
  UserNote TEXT, GcNote TEXT);
CREATE TABLE Logs (lParent TEXT, lLogId INTEGER, lType TEXT, lBy TEXT, lDate TEXT, PRIMARY KEY (lParent, lLogId));
CREATE TABLE LogMemo (lParent TEXT, lLogId INTEGER, lText TEXT, PRIMARY KEY (lParent, lLogId));
CREATE TABLE Waypoints (cParent TEXT, cCode TEXT, cName TEXT, cType TEXT, cLat TEXT, cLon TEXT,
  PRIMARY KEY (cParent, cCode));
CREATE TABLE WayMemo (cParent TEXT, cCode TEXT, cComment TEXT, PRIMARY KEY (cParent, cCode));
CREATE TABLE Attributes (aCode TEXT, aId INTEGER, aInc INTEGER);
CREATE INDEX AttributesCode ON Attributes (aCode);
)sql";

const char* letterOf(int type)
{
    switch (type) {
    case CacheType::Traditional: return "T";
    case CacheType::Multi: return "M";
    case CacheType::Virtual: return "V";
    case CacheType::Letterbox: return "B";
    case CacheType::Event: return "E";
    case CacheType::Unknown: return "U";
    case CacheType::Webcam: return "W";
    case CacheType::Earthcache: return "R";
    case CacheType::Wherigo: return "I";
    default: return "O";
    }
}

std::string dateText(int ymd)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", ymd / 10000, ymd / 100 % 100, ymd % 100);
    return text;
}

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement& text(int i, const std::string& value)
    {
        sqlite3_bind_text(m_stmt, i, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& number(int i, double value)
    {
        sqlite3_bind_double(m_stmt, i, value);
        return *this;
    }
    bool run()
    {
        const bool ok = sqlite3_step(m_stmt) == SQLITE_DONE;
        sqlite3_reset(m_stmt);
        return ok;
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// Each cache the GPX reader hands over becomes the manager's rows.
class Writer final : public ImportStore {
public:
    explicit Writer(sqlite3* db)
        : m_cache(db, "INSERT INTO Caches (Code, Name, PlacedBy, OwnerName, CacheType, Container, Difficulty, "
                      "Terrain, Latitude, Longitude, LatOriginal, LonOriginal, HasCorrected, Archived, TempDisabled, "
                      "Found, PlacedDate, Country, State, FavPoints, UserFlag, LongHtm, ShortHtm) VALUES (?, ?, ?, "
                      "?, ?, ?, ?, ?, ?, ?, ?, ?, 0, ?, ?, 0, ?, ?, ?, -1, 0, ?, ?)"),
          m_memo(db, "INSERT INTO CacheMemo VALUES (?, ?, ?, ?, '', '')"),
          m_log(db, "INSERT OR IGNORE INTO Logs VALUES (?, ?, ?, ?, ?)"),
          m_logMemo(db, "INSERT OR IGNORE INTO LogMemo VALUES (?, ?, ?)"),
          m_waypoint(db, "INSERT OR IGNORE INTO Waypoints VALUES (?, ?, ?, ?, ?, ?)"),
          m_wayMemo(db, "INSERT OR IGNORE INTO WayMemo VALUES (?, ?, ?)"),
          m_attribute(db, "INSERT INTO Attributes VALUES (?, ?, ?)")
    {
    }
    int StoreImportedCache(CGeocache& c) override
    {
        const std::string lat = num::formatFixed(c.lat, 6), lon = num::formatFixed(c.lon, 6);
        m_cache.text(1, c.code).text(2, c.name).text(3, c.author).text(4, c.author).text(5, letterOf(c.type));
        m_cache.text(6, cacheSizeText(c.size)).number(7, c.difficulty / 10.0).number(8, c.terrain / 10.0);
        m_cache.text(9, lat).text(10, lon).text(11, lat).text(12, lon);
        m_cache.number(13, c.status == 2).number(14, c.status == 1).text(15, dateText(c.hidden));
        m_cache.text(16, c.country).text(17, c.state).number(18, c.longDescHtml).number(19, c.shortDescHtml);
        ok &= m_cache.run();
        ok &= m_memo.text(1, c.code).text(2, c.longDesc).text(3, c.text).text(4, c.hint).run();
        for (const auto& log : c.logs) {
            ok &= m_log.text(1, c.code).number(2, log->logId).text(3, logTypeText(log->type)).text(4, log->finder)
                      .text(5, dateText(log->date)).run();
            ok &= m_logMemo.text(1, c.code).number(2, log->logId).text(3, log->text).run();
        }
        for (const auto& entry : c.attributes) {
            const std::size_t dash = entry.rfind('-');
            for (int id = 1; id < 100; ++id)
                if (attributeName(id) == entry.substr(0, dash))
                    ok &= m_attribute.text(1, c.code).number(2, id).number(3, entry.substr(dash + 1) != "no").run();
        }
        ++caches;
        return 1;
    }
    int StoreImportedWaypoint(CWaypoint& w) override
    {
        // The GPX name is the prefix and the cache code's tail.
        const std::string parent = "GC" + w.code.substr(2);
        ok &= m_waypoint.text(1, parent).text(2, w.code).text(3, w.name).text(4, waypointTypeText(w.type))
                  .text(5, num::formatFixed(w.lat, 6)).text(6, num::formatFixed(w.lon, 6)).run();
        ok &= m_wayMemo.text(1, parent).text(2, w.code).text(3, w.text).run();
        return 2;
    }
    int caches = 0;
    bool ok = true;

private:
    Statement m_cache, m_memo, m_log, m_logMemo, m_waypoint, m_wayMemo, m_attribute;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_gsak_database POCKET_QUERY.gpx OUT.db3\n");
        return 2;
    }
    std::filesystem::remove(argv[2]);
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK ||
        sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", argv[2], sqlite3_errmsg(db));
        return 1;
    }
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    int caches = 0;
    bool ok = false;
    {
        Writer writer(db);
        CGpxImporter reader(writer, "");
        CUtf8FileSource source(argv[1]);
        ok = reader.parse(source, nullptr) == CGpxImporter::Outcome::Complete && writer.ok;
        caches = writer.caches;
    }
    ok &= sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    std::printf("%d caches written to %s\n", caches, argv[2]);
    return ok ? 0 : 1;
}

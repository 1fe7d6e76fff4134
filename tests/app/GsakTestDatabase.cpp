// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/app/GsakTestDatabase.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace tw::test {
namespace {

// The manager's tables as they are publicly described; the declared types
// are the likely ones and matter only for SQLite's conversions.
constexpr const char* kCurrentSchema = R"sql(
CREATE TABLE Caches (Code TEXT PRIMARY KEY, Name TEXT, PlacedBy TEXT, OwnerName TEXT, CacheType TEXT,
  Container TEXT, Difficulty REAL, Terrain REAL, Latitude TEXT, Longitude TEXT, LatOriginal TEXT,
  LonOriginal TEXT, HasCorrected INTEGER, Archived INTEGER, TempDisabled INTEGER, Found INTEGER,
  PlacedDate TEXT, Country TEXT, State TEXT, FavPoints INTEGER, UserFlag INTEGER, FoundByMeDate TEXT,
  DNF INTEGER, DNFDate TEXT, UserData TEXT, LongHtm INTEGER, ShortHtm INTEGER);
CREATE TABLE CacheMemo (Code TEXT PRIMARY KEY, LongDescription TEXT, ShortDescription TEXT, Hints TEXT,
  UserNote TEXT, GcNote TEXT);
CREATE TABLE Logs (lParent TEXT, lLogId INTEGER, lType TEXT, lBy TEXT, lDate TEXT,
  PRIMARY KEY (lParent, lLogId));
CREATE TABLE LogMemo (lParent TEXT, lLogId INTEGER, lText TEXT, PRIMARY KEY (lParent, lLogId));
CREATE TABLE Waypoints (cParent TEXT, cCode TEXT, cName TEXT, cType TEXT, cLat TEXT, cLon TEXT,
  PRIMARY KEY (cParent, cCode));
CREATE TABLE WayMemo (cParent TEXT, cCode TEXT, cComment TEXT, PRIMARY KEY (cParent, cCode));
CREATE TABLE Attributes (aCode TEXT, aId INTEGER, aInc INTEGER);
)sql";

// An early version: no corrected coordinates, favourites or DNF; texts,
// logs without memo, no attributes. Columns without a declared type keep
// what is written (a real stays a real, 'True' stays text).
constexpr const char* kOlderSchema = R"sql(
CREATE TABLE Caches (Code, Name, PlacedBy, CacheType, Container, Difficulty, Terrain, Latitude, Longitude,
  Archived, TempDisabled, Found, PlacedDate, Country, State, LongDescription, ShortDescription, Hints);
CREATE TABLE Logs (lParent, lLogId, lType, lBy, lDate);
CREATE TABLE Waypoints (cParent, cCode, cName, cType, cLat, cLon);
)sql";

} // namespace

GsakTestDatabase::GsakTestDatabase(const std::filesystem::path& path, Layout layout)
{
    EXPECT_EQ(sqlite3_open(path.c_str(), &m_db), SQLITE_OK);
    exec(layout == Layout::Current ? kCurrentSchema : kOlderSchema);
}

GsakTestDatabase::~GsakTestDatabase()
{
    close();
}

void GsakTestDatabase::close()
{
    if (m_db)
        sqlite3_close(m_db);
    m_db = nullptr;
}

void GsakTestDatabase::exec(const std::string& sql)
{
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
    sqlite3_free(error);
}

void GsakTestDatabase::insert(const char* table, Row row)
{
    std::string names, marks;
    for (const auto& [name, value] : row) {
        names += std::string(names.empty() ? "" : ", ") + name;
        marks += marks.empty() ? "?" : ", ?";
    }
    const std::string sql = std::string("INSERT INTO ") + table + " (" + names + ") VALUES (" + marks + ")";
    sqlite3_stmt* insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(m_db, sql.c_str(), -1, &insert, nullptr), SQLITE_OK) << sqlite3_errmsg(m_db);
    int i = 0;
    for (const auto& entry : row) {
        ++i;
        std::visit(
            [&](const auto& v) {
                using T = std::decay_t<decltype(v)>;
                if constexpr (std::is_same_v<T, std::string>)
                    sqlite3_bind_text(insert, i, v.c_str(), -1, SQLITE_TRANSIENT);
                else if constexpr (std::is_same_v<T, const char*>)
                    sqlite3_bind_text(insert, i, v, -1, SQLITE_TRANSIENT);
                else if constexpr (std::is_same_v<T, double>)
                    sqlite3_bind_double(insert, i, v);
                else
                    sqlite3_bind_int64(insert, i, v);
            },
            entry.second);
    }
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(m_db) << " " << sql;
    sqlite3_finalize(insert);
}

void GsakTestDatabase::addFullCache(const std::string& code, const std::string& typeLetter)
{
    const std::string tail = code.substr(2);
    insert("Caches", {{"Code", code}, {"Name", "Cache " + code}, {"PlacedBy", "placer"}, {"OwnerName", "owner " + tail},
                      {"CacheType", typeLetter}, {"Container", "Small"}, {"Difficulty", 2.5}, {"Terrain", 1.5},
                      {"Latitude", "50.1"}, {"Longitude", "14.2"}, {"HasCorrected", 0}, {"Archived", 0},
                      {"TempDisabled", 0}, {"Found", 0}, {"PlacedDate", "2015-06-01"}, {"Country", "Czechia"},
                      {"State", "Praha"}, {"FavPoints", 3}, {"UserFlag", 0}});
    insert("CacheMemo", {{"Code", code}, {"LongDescription", "<p>Long " + code + "</p>"},
                         {"ShortDescription", "Short " + code}, {"Hints", "Hint " + code}});
    insert("Logs", {{"lParent", code}, {"lLogId", 1000}, {"lType", "Found it"}, {"lBy", "finder"},
                    {"lDate", "2020-01-02"}});
    insert("LogMemo", {{"lParent", code}, {"lLogId", 1000}, {"lText", "TFTC " + code}});
    insert("Logs", {{"lParent", code}, {"lLogId", 1001}, {"lType", "Didn't find it"}, {"lBy", "seeker"},
                    {"lDate", "2021-03-04"}});
    insert("LogMemo", {{"lParent", code}, {"lLogId", 1001}, {"lText", "Not today."}});
    insert("Waypoints", {{"cParent", code}, {"cCode", "PK" + tail}, {"cName", "Parking"}, {"cType", "Parking Area"},
                         {"cLat", "50.101"}, {"cLon", "14.201"}});
    insert("WayMemo", {{"cParent", code}, {"cCode", "PK" + tail}, {"cComment", "Park here " + code}});
    insert("Attributes", {{"aCode", code}, {"aId", 1}, {"aInc", 1}});
    insert("Attributes", {{"aCode", code}, {"aId", 6}, {"aInc", 0}});
}

} // namespace tw::test

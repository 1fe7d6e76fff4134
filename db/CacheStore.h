// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeoLog.h"
#include "db/CGeocache.h"
#include "db/CWaypoint.h"
#include "db/CacheReader.h"
#include "db/Tags.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

namespace tw {

// zlib data over the UTF-8 bytes, without terminator, compressed for speed.
std::vector<unsigned char> CompressText(const std::string& text);
// The same into out, whose room is used again.
void CompressText(const std::string& text, std::vector<unsigned char>& out);
// The whole text of a compressed BLOB (at most 64 MiB); a BLOB that does not
// inflate at all reads as "error".
std::string DecompressText(const std::vector<unsigned char>& blob);

// What the import-side operations report, counted by the import screens.
namespace ImportResult {
constexpr int Nothing = 0;     // failure, or an imported waypoint updated in place
constexpr int NewCache = 1;
constexpr int NewWaypoint = 2;
constexpr int NotStored = 3;   // exists and only new ones are wanted, or no parent cache
constexpr int Replaced = 4;
constexpr int Failed = 5;      // a database error; see CacheStore::lastError

} // namespace ImportResult

// The note kept when a cache is replaced by a newer copy. The stored note is
// the user's own; the new copy may carry a note too (an online note that is
// itself an earlier copy of the user's). Whichever contains the other wins, so
// that importing the same data again leaves the note as it was; otherwise the
// stored note is appended to the new one.
std::string mergedNote(const std::string& newNote, const std::string& storedNote);

// The note with the texts a file brought for it (another cache manager's
// note and user fields) appended after a blank line, unless the note holds
// them already: importing the same file again adds nothing.
std::string appendedNote(const std::string& note, const std::string& imported);

// The tag category of the user's "didn't find" from imported files.
inline constexpr const char* kDnfCategory = "dnf";
// The waypoint that keeps a cache's position from before the user corrected
// it (the cache itself is at the corrected one).
inline constexpr const char* kOriginalPositionPrefix = "OR";
inline constexpr const char* kOriginalPositionName = "Original Coordinates";

// The write side of the cache database. Every operation is one transaction;
// a database failure rolls it back, is shown as "SQLite error: ..." and is
// returned as false (or ImportResult::Nothing / NotStored).
class CacheStore {
public:
    // impOnlyNew: the setting ImpOnlyNew; an import leaves existing caches alone.
    CacheStore(SQLite::Database& db, const TagCategories& categories, int impOnlyNew = 1)
        : m_db(db), m_categories(categories), m_impOnlyNew(impOnlyNew)
    {
    }

    // Called after a cache was deleted, to refresh the database counters.
    void setOnDeleted(std::function<void()> callback) { m_onDeleted = std::move(callback); }

    // Stores a new cache with its long texts, attributes, logs and travel
    // bugs (not its waypoints) and sets its key. What an imported file added
    // goes with it: the favourite points and the "didn't find" as tags, the
    // original position as a waypoint, the imported note at the end of the
    // note (see appendedNote).
    bool InsertCache(CGeocache& cache);
    // Joins the caller's transaction, or is one of its own; throws SQLite::Error.
    void InsertLog(const CGeoLog& log, const std::string& code);

    // Replaces the stored cache of the same code by this newer copy, keeping
    // the user's note (see mergedNote), found date and time, tags other than
    // attributes and the waypoints the user made. Deleting the old copy and
    // inserting the new one commit together: a crash in between loses nothing.
    bool ReplaceCache(CGeocache& cache);
    // An imported cache: new (NewCache), replaced (Replaced, only when
    // ImpOnlyNew is 0), left alone (NotStored) or Failed. Every cache touched
    // carries one last-import tag, written in the same transaction as the
    // cache. The dummy cache is never touched: NotStored.
    int StoreImportedCache(CGeocache& cache);
    // Only the basic fields (position, name, owner, type, size, ratings,
    // status) of an existing cache: Replaced, NotStored with ImpOnlyNew, or
    // Nothing when the code is unknown or the update failed.
    int UpdateCacheBasics(const CGeocache& cache);
    // keepUserData keeps the user's tags (all but attributes) and waypoints.
    bool DeleteCache(const CGeocache& cache, bool keepUserData);
    bool SetComment(CGeocache& cache, const std::string& text);
    // Records a visit: a find (Found it, Webcam Photo Taken, Attended) sets
    // the found date and time from `when`; LogType::ClearFind clears them; any
    // other type keeps them. Writes the field note, its type and its time
    // stamp ("YYYYMMDD-HHMM") as tags, reusing the tags the record holds.
    bool SetFoundState(CGeocache& cache, int logType, const std::string& text, std::time_t when);

    // Stores a new waypoint and sets its key.
    bool InsertWaypoint(CWaypoint& waypoint);
    bool UpdateWaypoint(CWaypoint& waypoint);
    // An imported waypoint whose code holds its full name (PK1A2B3): it
    // belongs to the cache GC1A2B3 with the prefix PK. One that comes with a
    // prefix already has its cache's code (OCF19A with the prefix 1). Updated in place when
    // it exists (Nothing), stored as new (NewWaypoint), NotStored when its
    // cache is not in the database or is the dummy cache (whose waypoints are
    // the user's), or Failed.
    int StoreImportedWaypoint(CWaypoint& waypoint);
    bool DeleteWaypoint(const CWaypoint& waypoint);

    // The result code (SQLITE_FULL, SQLITE_CONSTRAINT, ...) and text of the
    // last failed operation; SQLITE_OK before any failure.
    int lastError() const { return m_lastError; }
    const std::string& lastErrorText() const { return m_lastErrorText; }

private:
    void insertCacheRows(CGeocache& cache);
    void insertLogRow(const CGeoLog& log, const std::string& code);
    // The code of the cache a stored waypoint belongs to; empty when none.
    std::string waypointOwner(int waypointKey);
    void insertExtras(const CGeocache& cache);
    // Key of the cache's last tag of the category, or 0.
    int tagKeyOf(const std::string& code, int categoryKey);
    void deleteCacheRows(const CGeocache& cache, bool keepUserData);
    void replaceCacheRows(CGeocache& cache);
    bool cacheExists(const std::string& code);
    void touchCache(const std::string& code);
    void tagAsImported(const std::string& code);
    void noteError(int code, const std::string& text);
    // Runs work in one transaction (joining an open one); false after
    // showing the error.
    bool runInTransaction(const std::function<void()>& work);

    SQLite::Database& m_db;
    const TagCategories& m_categories;
    int m_impOnlyNew;
    std::function<void()> m_onDeleted;
    int m_lastError = 0;
    std::string m_lastErrorText;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Records.h"
#include "db/Tags.h"

#include <string>
#include <vector>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite

namespace tw {

// zlib at level 1 over the UTF-8 bytes, without terminator.
std::vector<unsigned char> CompressText(const std::string& text);
// The whole text of a compressed BLOB (at most 64 MiB); a BLOB that does not
// inflate at all reads as "error".
std::string DecompressText(const std::vector<unsigned char>& blob);

// A cache record from a whole `geocache` row (SELECT *), by column position.
// The waypoints are not loaded here.
CGeocache geocacheFromRow(const SQLite::Statement& row);

// The write side of the cache database. Every operation is one transaction;
// a database failure rolls it back, is shown as "SQLite error: ..." and is
// returned as false.
class CacheStore {
public:
    CacheStore(SQLite::Database& db, const TagCategories& categories) : m_db(db), m_categories(categories) {}

    // Stores a new cache with its long texts, attributes and logs (not its
    // waypoints) and sets its key.
    bool InsertCache(CGeocache& cache);
    // Inside the caller's transaction; throws SQLite::Error.
    void InsertLog(const CGeoLog& log, const std::string& code);

private:
    void insertCacheRows(CGeocache& cache);

    SQLite::Database& m_db;
    const TagCategories& m_categories;
};

} // namespace tw

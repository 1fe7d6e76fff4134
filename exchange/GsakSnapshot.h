// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string>

namespace tw {

// What a file is, told by its content: the SQLite header, then a table of
// caches in the layout of the desktop cache manager.
enum class DatabaseKind {
    NotSqlite,    // no SQLite header: some other file (a GPX file, a text)
    CacheManager, // an SQLite database with a `Caches` table
    Foreign,      // an SQLite database without one
    Damaged,      // it has the header, but SQLite cannot read its tables
};

struct DatabaseProbe {
    DatabaseKind kind = DatabaseKind::NotSqlite;
    std::string detail; // SQLite's own words for a damaged file
};

// True when the file starts with the 16 bytes of an SQLite 3 database.
bool hasSqliteHeader(const std::filesystem::path& path);

// Opens the file read-only (never written, no journal made) and looks for the
// `Caches` table; the file is closed again on return.
DatabaseProbe probeCacheManagerDatabase(const std::filesystem::path& path);

// How a private copy was made.
struct SnapshotStats {
    int steps = 0;    // read transactions on the other program's file
    int restarts = 0; // copies begun again because that program wrote meanwhile
    double seconds = 0.0;
    // The failure was the file's own: unreadable pages, no database at all.
    bool damaged = false;
};

// Copies the database at from into a new file at to, which is then the
// import's alone: the cache manager may write to its file as soon as this
// returns, and while it runs, between the steps. Each step is one short read
// of a bounded number of pages; a write by the other program between steps
// makes SQLite begin the copy again, and after a few restarts the rest is
// read in one step. The copy is checked page by page (a damaged file is
// found before anything is imported). Empty on success, otherwise SQLite's
// words for what failed; to is then removed.
std::string copySnapshot(const std::filesystem::path& from, const std::filesystem::path& to, SnapshotStats* stats);

// Removes the copy and whatever SQLite left beside it.
void removeSnapshot(const std::filesystem::path& path);

} // namespace tw

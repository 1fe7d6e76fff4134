// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/GsakSnapshot.h"

#include "db/Database.h"
#include "db/SqlError.h"
#include "db/Statement.h"

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace fs = std::filesystem;

namespace tw {
namespace {

// Pages copied under one read lock: 4 MB at the manager's usual page size,
// a few milliseconds of the other program's waiting at most.
constexpr int kPagesPerStep = 1024;
// Copies begun again before the rest is read in one step.
constexpr int kMaxRestarts = 3;

std::string errorOf(sqlite3* handle, int rc)
{
    const char* text = handle ? sqlite3_errmsg(handle) : nullptr;
    return text && *text && std::strcmp(text, "not an error") != 0 ? text : sqlite3_errstr(rc);
}

} // namespace

bool hasSqliteHeader(const fs::path& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    char magic[16] = {};
    const std::size_t n = std::fread(magic, 1, sizeof magic, f);
    std::fclose(f);
    return n == sizeof magic && std::memcmp(magic, "SQLite format 3", 16) == 0;
}

DatabaseProbe probeCacheManagerDatabase(const fs::path& path)
{
    DatabaseProbe probe;
    if (!hasSqliteHeader(path))
        return probe;
    SQLite::Database db;
    if (const int rc = db.openReadOnly(path.string()); rc != SQLITE_OK) {
        probe.kind = DatabaseKind::Damaged;
        probe.detail = sqlite3_errstr(rc);
        return probe;
    }
    try {
        // Table names compare without case in SQLite, and so here.
        SQLite::Statement find(db, "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = 'Caches' "
                                   "COLLATE NOCASE");
        probe.kind = find.Next() && find.ColumnInt(0) > 0 ? DatabaseKind::CacheManager : DatabaseKind::Foreign;
    } catch (const SQLite::Error& e) {
        probe.kind = DatabaseKind::Damaged;
        probe.detail = e.message;
    }
    return probe;
}

std::string copySnapshot(const fs::path& from, const fs::path& to, SnapshotStats* stats)
{
    const auto start = std::chrono::steady_clock::now();
    SnapshotStats counted;
    std::string error;
    SQLite::Database source;
    sqlite3* copy = nullptr;
    removeSnapshot(to);
    int rc = source.openReadOnly(from.string());
    if (rc != SQLITE_OK)
        error = sqlite3_errstr(rc);
    if (error.empty() && (rc = sqlite3_open_v2(to.c_str(), &copy, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                               nullptr)) != SQLITE_OK)
        error = errorOf(copy, rc);
    if (error.empty()) {
        // Every page passes through the source's page cache once: a small
        // one does, and the import's memory stays that of a GPX import.
        source.Exec("PRAGMA cache_size = -1024");
        // The copy is thrown away after the import: a crash loses nothing.
        sqlite3_exec(copy, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF;", nullptr, nullptr, nullptr);
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", source.handle(), "main");
        if (!backup) {
            error = errorOf(copy, sqlite3_errcode(copy));
        } else {
            int copied = 0;
            do {
                const bool rest = counted.restarts >= kMaxRestarts;
                rc = sqlite3_backup_step(backup, rest ? -1 : kPagesPerStep);
                ++counted.steps;
                // Fewer pages done than before: the other program wrote and
                // the copy began again.
                const int done = sqlite3_backup_pagecount(backup) - sqlite3_backup_remaining(backup);
                if (done < copied)
                    ++counted.restarts;
                copied = done;
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
                    sqlite3_sleep(20);
            } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
            sqlite3_backup_finish(backup);
            if (rc != SQLITE_DONE) {
                error = errorOf(copy, rc);
                counted.damaged = rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
            }
        }
    }
    source.Close();
    if (error.empty()) {
        // A page the copy cannot read is a damaged file: said now, before
        // any cache of it is stored.
        sqlite3_stmt* check = nullptr;
        rc = sqlite3_prepare_v2(copy, "PRAGMA quick_check(1)", -1, &check, nullptr);
        if (rc != SQLITE_OK || (rc = sqlite3_step(check)) != SQLITE_ROW) {
            error = errorOf(copy, rc);
            counted.damaged = rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB;
        } else if (const auto* verdict = reinterpret_cast<const char*>(sqlite3_column_text(check, 0));
                   !verdict || std::strcmp(verdict, "ok") != 0) {
            // The check's first finding, in SQLite's words.
            error = verdict ? verdict : sqlite3_errstr(SQLITE_CORRUPT);
            counted.damaged = true;
        }
        sqlite3_finalize(check);
    }
    sqlite3_close_v2(copy);
    if (!error.empty())
        removeSnapshot(to);
    counted.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (stats)
        *stats = counted;
    return error;
}

void removeSnapshot(const fs::path& path)
{
    std::error_code ec;
    for (const char* tail : {"", "-journal", "-wal", "-shm"})
        fs::remove(path.string() + tail, ec);
}

} // namespace tw

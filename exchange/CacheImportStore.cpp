// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CacheImportStore.h"

#include "db/CacheStore.h"
#include "db/FullText.h"
#include "db/SqlError.h"

#include <sqlite3.h>

namespace tw {

namespace {
// Pages the write-ahead log may hold before they are copied into the file:
// SQLite's default, and 32 MB during an import. An import touches the same
// index pages commit after commit; with the default every few commits wrote
// them into the file again.
constexpr const char* kUsualCheckpoint = "PRAGMA wal_autocheckpoint = 1000";
constexpr const char* kImportCheckpoint = "PRAGMA wal_autocheckpoint = 8192";
} // namespace

CacheImportStore::CacheImportStore(CacheStore& store, SQLite::Database& db) : m_store(store), m_db(db)
{
    m_db.Exec(kImportCheckpoint);
}

CacheImportStore::~CacheImportStore()
{
    finish();
}

void CacheImportStore::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_db.Exec(kUsualCheckpoint);
    // Whatever is not copied now (a reader still on old pages, a full disk)
    // stays in the log, safe, and goes at a later checkpoint.
    m_db.Exec("PRAGMA wal_checkpoint(PASSIVE)");
}

int CacheImportStore::StoreImportedCache(CGeocache& cache)
{
    return m_store.StoreImportedCache(cache);
}

bool CacheImportStore::indexesTexts() const
{
    try {
        return fulltext::maintained(m_db);
    } catch (const SQLite::Error&) {
        return false;
    }
}

int CacheImportStore::StoreImportedWaypoint(CWaypoint& waypoint)
{
    return m_store.StoreImportedWaypoint(waypoint);
}

void CacheImportStore::beginBatch()
{
    m_db.beginBatch();
}

bool CacheImportStore::endBatch()
{
    const int rc = m_db.endBatch();
    if (rc == SQLITE_OK)
        return true;
    m_batchLost = true;
    m_batchError = m_db.errorText().empty() ? sqlite3_errstr(rc) : m_db.errorText();
    return false;
}

bool CacheImportStore::broken() const
{
    return m_batchLost || !SQLite::isRecordError(m_store.lastError());
}

std::string CacheImportStore::errorText() const
{
    // A batch that SQLite rolled back by itself after an error says less
    // than the error did.
    const int code = m_store.lastError();
    if (m_batchLost && (code == SQLITE_OK || SQLite::isRecordError(code)))
        return m_batchError;
    return m_store.lastErrorText();
}

} // namespace tw

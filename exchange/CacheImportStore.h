// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/ImportStore.h"

#include <string>

namespace SQLite {
class Database;
}

namespace tw {

class CacheStore;

// The import's entries go into the cache database.
class CacheImportStore final : public ImportStore {
public:
    CacheImportStore(CacheStore& store, SQLite::Database& db);
    ~CacheImportStore() override;
    CacheImportStore(const CacheImportStore&) = delete;
    CacheImportStore& operator=(const CacheImportStore&) = delete;
    int StoreImportedCache(CGeocache& cache) override;
    int StoreImportedWaypoint(CWaypoint& waypoint) override;
    void beginBatch() override;
    bool endBatch() override;
    bool broken() const override;
    bool indexesTexts() const override;
    std::string errorText() const override;
    // Back to the usual checkpoints once the import is over, with what it
    // stored copied into the database file now, on the import's thread,
    // rather than by the next commit of whoever writes next.
    void finish();

private:
    CacheStore& m_store;
    SQLite::Database& m_db;
    bool m_batchLost = false;
    bool m_finished = false;
    std::string m_batchError;
};

} // namespace tw

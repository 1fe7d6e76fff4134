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
    CacheImportStore(CacheStore& store, SQLite::Database& db) : m_store(store), m_db(db) {}
    int StoreImportedCache(CGeocache& cache) override;
    int StoreImportedWaypoint(CWaypoint& waypoint) override;
    void beginBatch() override;
    bool endBatch() override;
    bool broken() const override;
    std::string errorText() const override;

private:
    CacheStore& m_store;
    SQLite::Database& m_db;
    bool m_batchLost = false;
    std::string m_batchError;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

class CGeocache;
class CWaypoint;

// Where the import hands each finished entry. The database implementation
// stores it and tags it as part of the latest import.
class ImportStore {
public:
    virtual ~ImportStore() = default;
    // 1 new, 4 replaced or updated, 3 skipped, 5 failed (a database error).
    virtual int StoreImportedCache(CGeocache& cache) = 0;
    // 2 new, 0 updated in place, 3 skipped (no such cache), 5 failed.
    virtual int StoreImportedWaypoint(CWaypoint& waypoint) = 0;
    // Several entries may share one commit, each still stored whole or not
    // at all. endBatch false: the entries since beginBatch were lost.
    virtual void beginBatch() {}
    virtual bool endBatch() { return true; }
    // After a failure: true when every later entry would fail the same way
    // (full disk, I/O error, read-only or damaged file), so the import stops.
    virtual bool broken() const { return false; }
    // True when the store keeps a full-text index of the caches: the import
    // then makes each new cache's document ahead, on a thread of its own.
    virtual bool indexesTexts() const { return false; }
    // The text of the last failure, for the user.
    virtual std::string errorText() const { return {}; }
};

} // namespace tw

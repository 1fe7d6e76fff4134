// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/ImportPipeline.h"
#include "exchange/ImportStore.h"

#include <atomic>
#include <string>

namespace SQLite {
class Database;
}

namespace tw {

class JobProgress;

// Reads the database of the desktop cache manager (its sqlite.db3) and hands
// every cache, with its texts, logs and attributes, and then each of its
// waypoints to an ImportStore, as the GPX import does: the same store, the
// same rules, the same counters. The tables and columns are the manager's;
// columns a version of it lacks are left at their defaults, tables it lacks
// give nothing. Reads a private copy (see copySnapshot), to which it may add
// indexes; it never touches the manager's own file.
class GsakImporter {
public:
    enum class Outcome {
        Complete,
        Cancelled,
        Failed,   // the store broke down; what it stored before stays
        BrokeOff, // the database could not be read on (readError says why)
    };

    // nickname: the user's name; a "Found it" log by it sets the found date.
    GsakImporter(ImportStore& store, std::string nickname);

    // progress may be null; its range is the number of caches.
    Outcome read(SQLite::Database& snapshot, JobProgress* progress);

    int newCaches() const { return m_tally.newCaches; }
    int waypoints() const { return m_tally.waypoints; }
    int skipped() const { return m_tally.skipped; }
    int notCaches() const { return m_tally.notCaches; }
    int updated() const { return m_tally.updated; }
    int failed() const { return m_tally.failed; }
    // Logs of the caches stored new or replaced.
    int logs() const { return m_tally.logs; }
    const std::string& storeError() const { return m_tally.storeError; }
    const std::string& readError() const { return m_readError; }

    // Set from another thread; the read stops after the cache it is reading.
    std::atomic<bool> cancel{false};
    void watchCancelFlag(const std::atomic<bool>* flag) { m_externalCancel = flag; }
    // Stores on threads of their own while the read goes on (see ImportPipeline).
    void setPipelined(bool on) { m_pipelined = on; }

private:
    bool cancelled() const;

    ImportStore& m_store;
    std::string m_nickname;
    ImportTally m_tally;
    std::string m_readError;
    const std::atomic<bool>* m_externalCancel = nullptr;
    bool m_pipelined = false;
};

} // namespace tw

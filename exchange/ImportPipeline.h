// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "exchange/ImportStore.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tw {

class JobProgress;

// What an import has stored so far, over all the documents of one job.
struct ImportTally {
    std::atomic<int> newCaches{0};
    std::atomic<int> waypoints{0};
    // Caches already in the database, left as they were (ImpOnlyNew).
    std::atomic<int> skipped{0};
    // Entries that are no geocache and belong to none, or have no place on
    // Earth: not stored.
    std::atomic<int> notCaches{0};
    std::atomic<int> updated{0};
    // Logs of the caches stored new or replaced.
    std::atomic<int> logs{0};
    // Entries the store failed to store (not counted as skipped), and why.
    std::atomic<int> failed{0};
    // Set by whichever thread stores once the store broke down; nothing
    // more is stored after it.
    std::atomic<bool> stopped{false};
    std::string storeError;
};

// A finished entry; one without a place on Earth is counted, not stored.
struct ImportEntry {
    // A geocache (it has the cache element and a code), a waypoint of one,
    // or neither.
    enum class Kind { Cache, Waypoint, NotACache };
    std::unique_ptr<CGeocache> cache;
    std::unique_ptr<CWaypoint> waypoint;
    bool badPosition = false;
    Kind kind = Kind::Cache;
};

// Entries the store is done with go back to the parser, and the next ones
// reuse the room of their texts and lists. Allocated on one thread and freed
// on another, they kept the allocator busy with its locks and its returns of
// memory to the system. Only a few are kept; the rest are freed.
class ImportSpares {
public:
    void give(ImportEntry& entry);
    // A cache as new, keeping the room of its texts; its logs move to logs.
    std::unique_ptr<CGeocache> cache(std::vector<std::unique_ptr<CGeoLog>>& logs);
    std::unique_ptr<CWaypoint> waypoint();
    // A log as new from logs, or a new one when logs is empty.
    static std::unique_ptr<CGeoLog> log(std::vector<std::unique_ptr<CGeoLog>>& logs);

private:
    template <typename T>
    std::unique_ptr<T> take(std::vector<std::unique_ptr<T>>& list);

    std::mutex m_mutex;
    std::vector<std::unique_ptr<CGeocache>> m_caches;
    std::vector<std::unique_ptr<CWaypoint>> m_waypoints;
};

// Takes the entries of one document from the parser and stores them, counting
// the results in the tally and on the progress counters (progress may be
// null). Pipelined, three threads share the two cores: the parser's, one that
// compresses the texts and one that stores, in batches that share a commit.
// Otherwise each entry is stored as it is handed over, without batches.
class ImportPipeline {
public:
    ImportPipeline(ImportStore& store, ImportTally& tally, JobProgress* progress, bool pipelined);
    ~ImportPipeline();
    ImportPipeline(const ImportPipeline&) = delete;
    ImportPipeline& operator=(const ImportPipeline&) = delete;

    ImportSpares& spares() { return m_spares; }
    // Waits while the queue is full. Once the store broke down, entries are
    // only dropped.
    void push(ImportEntry entry);
    // Returns once every entry pushed has been stored or dropped; the tally
    // is then final. Called again, it does nothing.
    void finish();

private:
    class EntryQueue;
    struct Counts {
        int newCaches, waypoints, skipped, updated, logs;
    };
    Counts counts() const;
    void packAll();
    void storeAll();
    void storeEntry(ImportEntry& entry);
    void closeBatch(const Counts& before);

    ImportStore& m_store;
    ImportTally& m_tally;
    JobProgress* m_progress;
    ImportSpares m_spares;
    std::unique_ptr<EntryQueue> m_parsed;
    std::unique_ptr<EntryQueue> m_packed;
    // New caches' documents of the full-text index are made by the packer.
    bool m_prepareDocuments = false;
    std::thread m_packer;
    std::thread m_storer;
};

} // namespace tw

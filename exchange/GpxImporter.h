// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Records.h"
#include "exchange/XmlCharSource.h"

#include <atomic>
#include <memory>
#include <string>

namespace tw {

class JobProgress;

// Where the import hands each finished entry. The database implementation
// stores it and tags it as part of the latest import.
class ImportStore {
public:
    virtual ~ImportStore() = default;
    // 1 new, 4 replaced or updated, 3 skipped.
    virtual int StoreImportedCache(CGeocache& cache) = 0;
    // 2 new, 0 updated in place, 3 skipped (no such cache, or it failed).
    virtual int StoreImportedWaypoint(CWaypoint& waypoint) = 0;
    // Several entries may share one commit, each still stored whole or not
    // at all. endBatch false: the entries since beginBatch were lost.
    virtual void beginBatch() {}
    virtual bool endBatch() { return true; }
};

// The web addresses that carry a cache's and a waypoint's identifiers in
// pocket queries. The export writes them; the import strips them again.
inline constexpr const char* kCacheUrlPrefix = "http://www.geocaching.com/seek/cache_details.aspx?guid=";
inline constexpr const char* kWaypointUrlPrefix = "http://www.geocaching.com/seek/wpt.aspx?WID=";

// Reads pocket-query GPX (GPX 1.0 with the cache extension) and hands every
// geocache and additional waypoint to an ImportStore. Reentrant: it runs on
// a worker thread while a progress dialog shows its counters.
class CGpxImporter {
public:
    enum class Outcome {
        Complete,  // the gpx end tag was read
        Truncated, // the input ended before it (truncated file, broken encoding)
        Cancelled,
    };

    // nickname: the user's name; a "Found it" log by it sets the found date.
    CGpxImporter(ImportStore& store, std::string nickname);

    // Reads one document; the counts go on from earlier documents, so a main
    // file and its waypoints file make one job. progress may be null.
    Outcome parse(CXmlCharSource& source, JobProgress* progress);

    int newCaches() const { return m_newCaches; }
    int waypoints() const { return m_waypoints; }
    int skipped() const { return m_skipped; }
    int updated() const { return m_updated; }

    // Set from another thread; the parse stops after the entry it is reading.
    std::atomic<bool> cancel{false};
    // Stores each entry on a thread of its own while the parse goes on; the
    // store must then be usable from that thread. Counts are final when
    // parse() returns.
    void setPipelined(bool on) { m_pipelined = on; }

    // A cancel flag owned by someone else (a progress dialog), read the same way.
    void watchCancelFlag(const std::atomic<bool>* flag) { m_externalCancel = flag; }

private:
    struct State;
    class EntryQueue;
    struct Counts {
        int newCaches, waypoints, skipped, updated;
    };
    Counts counts() const;
    void closeBatch(const Counts& before, JobProgress* progress);
    void storeEntry(CGeocache& cache, CWaypoint& waypoint, JobProgress* progress);
    void startTag(State& s, const std::string& name);
    void attribute(State& s, const std::string& element, const char* name, const std::string& value);
    void endTag(State& s, const std::string& name, JobProgress* progress);
    void store(State& s, JobProgress* progress);
    void updateFoundDate(State& s);

    ImportStore& m_store;
    std::string m_nickname;
    std::atomic<int> m_newCaches{0};
    std::atomic<int> m_waypoints{0};
    std::atomic<int> m_skipped{0};
    std::atomic<int> m_updated{0};
    const std::atomic<bool>* m_externalCancel = nullptr;
    bool m_pipelined = false;
};

// YYYYMMDD of a GPX time text: the dashes removed, the leading number read
// ("2011-11-24T19:00:00Z" gives 20111124); 0 when there is none.
int gpxDate(const std::string& text);

} // namespace tw

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

private:
    CacheStore& m_store;
    SQLite::Database& m_db;
};

} // namespace tw

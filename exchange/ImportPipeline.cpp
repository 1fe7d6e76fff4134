// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/ImportPipeline.h"

#include "db/CacheStore.h"
#include "db/FullText.h"
#include "platform/JobProgress.h"

#include <algorithm>
#include <condition_variable>
#include <deque>

namespace tw {
namespace {

// Import results of the store.
constexpr int kNewCache = 1;
constexpr int kNewWaypoint = 2;
constexpr int kSkipped = 3;
constexpr int kUpdated = 4;
constexpr int kFailed = 5;

// Spares kept for the parser.
constexpr std::size_t kKeep = 48;
constexpr std::size_t kKeepLogs = 1024;

// Hands the room of from, emptied, to to.
template <typename T>
void reuse(T& to, T& from)
{
    from.clear();
    to = std::move(from);
}

void packTexts(CGeocache& cache)
{
    CompressText(cache.text, cache.packedText);
    CompressText(cache.longDesc, cache.packedLongDesc);
    for (auto& log : cache.logs)
        CompressText(log->text, log->packedText);
}

} // namespace

// Finished entries on their way from the parser to the thread that stores
// them. Bounded, so that a large file never sits in memory. A thread that
// finds nothing to take, or no room, sleeps until half the queue has changed:
// woken for every entry, the threads spent their time switching.
class ImportPipeline::EntryQueue {
public:
    void push(ImportEntry entry)
    {
        std::unique_lock lock(m_mutex);
        if (m_entries.size() >= kCapacity)
            m_space.wait(lock, [&] { return m_entries.size() <= kCapacity - kWake; });
        m_entries.push_back(std::move(entry));
        if (m_entries.size() >= kWake)
            m_ready.notify_one();
    }

    // False once the parser is done and everything has been taken.
    bool pop(ImportEntry& entry)
    {
        std::unique_lock lock(m_mutex);
        if (m_entries.empty())
            m_ready.wait(lock, [&] { return m_entries.size() >= kWake || m_closed; });
        if (m_entries.empty())
            return false;
        entry = std::move(m_entries.front());
        m_entries.pop_front();
        if (m_entries.size() <= kCapacity - kWake)
            m_space.notify_one();
        return true;
    }

    void close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_ready.notify_all();
    }

private:
    static constexpr std::size_t kCapacity = 32;
    static constexpr std::size_t kWake = kCapacity / 2;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_space;
    std::deque<ImportEntry> m_entries;
    bool m_closed = false;
};

void ImportSpares::give(ImportEntry& entry)
{
    std::lock_guard lock(m_mutex);
    if (entry.cache && m_caches.size() < kKeep)
        m_caches.push_back(std::move(entry.cache));
    if (entry.waypoint && m_waypoints.size() < kKeep)
        m_waypoints.push_back(std::move(entry.waypoint));
}

std::unique_ptr<CGeocache> ImportSpares::cache(std::vector<std::unique_ptr<CGeoLog>>& logs)
{
    std::unique_ptr<CGeocache> c = take(m_caches);
    if (!c)
        return std::make_unique<CGeocache>();
    for (auto& log : c->logs)
        if (logs.size() < kKeepLogs)
            logs.push_back(std::move(log));
    CGeocache& old = *c;
    CGeocache fresh;
    reuse(fresh.code, old.code);
    reuse(fresh.name, old.name);
    reuse(fresh.shortName, old.shortName);
    reuse(fresh.text, old.text);
    reuse(fresh.longDesc, old.longDesc);
    reuse(fresh.hint, old.hint);
    reuse(fresh.packedText, old.packedText);
    reuse(fresh.packedLongDesc, old.packedLongDesc);
    reuse(fresh.indexListing, old.indexListing);
    reuse(fresh.indexHint, old.indexHint);
    reuse(fresh.indexLogs, old.indexLogs);
    reuse(fresh.logs, old.logs);
    reuse(fresh.attributes, old.attributes);
    old = std::move(fresh);
    return c;
}

std::unique_ptr<CWaypoint> ImportSpares::waypoint()
{
    std::unique_ptr<CWaypoint> w = take(m_waypoints);
    if (!w)
        return std::make_unique<CWaypoint>();
    CWaypoint fresh;
    reuse(fresh.code, w->code);
    reuse(fresh.prefix, w->prefix);
    reuse(fresh.name, w->name);
    reuse(fresh.text, w->text);
    *w = std::move(fresh);
    return w;
}

std::unique_ptr<CGeoLog> ImportSpares::log(std::vector<std::unique_ptr<CGeoLog>>& logs)
{
    if (logs.empty())
        return std::make_unique<CGeoLog>();
    std::unique_ptr<CGeoLog> l = std::move(logs.back());
    logs.pop_back();
    CGeoLog fresh;
    reuse(fresh.finder, l->finder);
    reuse(fresh.text, l->text);
    reuse(fresh.packedText, l->packedText);
    *l = std::move(fresh);
    return l;
}

template <typename T>
std::unique_ptr<T> ImportSpares::take(std::vector<std::unique_ptr<T>>& list)
{
    std::lock_guard lock(m_mutex);
    if (list.empty())
        return nullptr;
    std::unique_ptr<T> p = std::move(list.back());
    list.pop_back();
    return p;
}

ImportPipeline::ImportPipeline(ImportStore& store, ImportTally& tally, JobProgress* progress, bool pipelined)
    : m_store(store), m_tally(tally), m_progress(progress)
{
    if (pipelined) {
        m_prepareDocuments = store.indexesTexts();
        m_parsed = std::make_unique<EntryQueue>();
        m_packed = std::make_unique<EntryQueue>();
        m_packer = std::thread([this] { packAll(); });
        m_storer = std::thread([this] { storeAll(); });
    }
    if (progress) {
        progress->setCounter(kCounterNew, m_tally.newCaches);
        progress->setCounter(kCounterWaypoints, m_tally.waypoints);
        progress->setCounter(kCounterSkipped, m_tally.skipped);
        progress->setCounter(kCounterUpdated, m_tally.updated);
    }
}

ImportPipeline::~ImportPipeline()
{
    finish();
}

void ImportPipeline::push(ImportEntry entry)
{
    if (m_parsed) {
        m_parsed->push(std::move(entry));
    } else if (!m_tally.stopped) {
        storeEntry(entry);
        m_spares.give(entry);
    }
}

void ImportPipeline::finish()
{
    if (!m_parsed)
        return;
    m_parsed->close();
    if (m_packer.joinable())
        m_packer.join();
    // The packer closes its queue when it ends; closing it here too covers
    // a packer that never started.
    m_packed->close();
    if (m_storer.joinable())
        m_storer.join();
}

void ImportPipeline::packAll()
{
    ImportEntry entry;
    while (m_parsed->pop(entry)) {
        if (!m_tally.stopped && entry.cache) {
            packTexts(*entry.cache);
            if (m_prepareDocuments)
                fulltext::prepareDocument(*entry.cache);
        }
        m_packed->push(std::move(entry));
    }
    m_packed->close();
}

void ImportPipeline::storeAll()
{
    // Entries share a commit in batches; each keeps its own savepoint. A
    // commit writes the pages it changed to the log again: the last pages of
    // every table and index, and the nodes of the position index, which
    // grows with the database. So fewer and larger commits write less: with
    // batches of 1,024 caches a 10k import wrote 40 % less than with batches
    // of 64, and batches of 4,096 cut a 50k import's writes by another
    // quarter. The first batches are small and each is twice the one before,
    // so that an import that fails early (a full disk) still keeps what it
    // stored. The byte limit keeps the log of a batch of huge listings
    // within bounds.
    constexpr int kFirstBatch = 64;
    constexpr int kLargestBatch = 4096;
    constexpr std::size_t kBatchBytes = 16u << 20;
    ImportEntry entry;
    Counts before = counts();
    int batch = kFirstBatch;
    int inBatch = 0;
    std::size_t batchBytes = 0;
    m_store.beginBatch();
    while (m_packed->pop(entry)) {
        // Once stopped, what is still queued is only taken off, so that the
        // parser never waits for room.
        if (m_tally.stopped)
            continue;
        // A full batch ends before the next cache, not between a cache and
        // its waypoints: in one batch they join the cache's document for
        // the index, which otherwise takes the committed document out and
        // in again for each of them.
        if ((inBatch >= batch || batchBytes >= kBatchBytes) && entry.kind == ImportEntry::Kind::Cache) {
            closeBatch(before);
            before = counts();
            batch = std::min(2 * batch, kLargestBatch);
            inBatch = 0;
            batchBytes = 0;
            if (m_tally.stopped) {
                m_spares.give(entry);
                continue;
            }
            m_store.beginBatch();
        }
        storeEntry(entry);
        if (entry.cache) {
            batchBytes += entry.cache->packedText.size() + entry.cache->packedLongDesc.size();
            for (const auto& log : entry.cache->logs)
                batchBytes += log->packedText.size();
        }
        m_spares.give(entry);
        ++inBatch;
        if (m_tally.stopped) {
            closeBatch(before);
            before = counts();
        }
    }
    if (!m_tally.stopped)
        closeBatch(before);
}

ImportPipeline::Counts ImportPipeline::counts() const
{
    return {m_tally.newCaches, m_tally.waypoints, m_tally.skipped, m_tally.updated, m_tally.logs};
}

void ImportPipeline::closeBatch(const Counts& before)
{
    if (m_store.endBatch())
        return;
    // The batch did not reach the file: what it counted as stored was not.
    const Counts now = counts();
    const int lost = (now.newCaches - before.newCaches) + (now.waypoints - before.waypoints) +
                     (now.updated - before.updated);
    m_tally.newCaches = before.newCaches;
    m_tally.waypoints = before.waypoints;
    m_tally.updated = before.updated;
    m_tally.logs = before.logs;
    m_tally.failed += lost;
    m_tally.storeError = m_store.errorText();
    m_tally.stopped = true;
    if (m_progress) {
        m_progress->setCounter(kCounterNew, m_tally.newCaches);
        m_progress->setCounter(kCounterWaypoints, m_tally.waypoints);
        m_progress->setCounter(kCounterUpdated, m_tally.updated);
    }
}

void ImportPipeline::storeEntry(ImportEntry& entry)
{
    auto count = [&](std::atomic<int>& counter, int k) {
        const int value = ++counter;
        if (m_progress)
            m_progress->setCounter(k, value);
    };
    auto result = [&](int r) {
        switch (r) {
        case kNewCache: count(m_tally.newCaches, kCounterNew); break;
        case kNewWaypoint: count(m_tally.waypoints, kCounterWaypoints); break;
        case kUpdated: count(m_tally.updated, kCounterUpdated); break;
        case kSkipped: count(m_tally.skipped, kCounterSkipped); break;
        case kFailed:
            // An error, not a skip; one that every later entry would meet
            // too ends the import here instead of failing them all.
            ++m_tally.failed;
            m_tally.storeError = m_store.errorText();
            if (m_store.broken())
                m_tally.stopped = true;
            break;
        default: break;
        }
    };
    // A waypoint whose cache is not in the database belongs to none the
    // user has: it is left out like any other entry that is no geocache.
    // The skipped counter is for caches already there only.
    if (entry.badPosition || entry.kind == ImportEntry::Kind::NotACache) {
        ++m_tally.notCaches;
    } else if (entry.kind == ImportEntry::Kind::Cache) {
        const int r = m_store.StoreImportedCache(*entry.cache);
        if (r == kNewCache || r == kUpdated)
            m_tally.logs += static_cast<int>(entry.cache->logs.size());
        result(r);
    } else if (const int r = m_store.StoreImportedWaypoint(*entry.waypoint); r == kSkipped) {
        ++m_tally.notCaches;
    } else {
        result(r);
    }
}

} // namespace tw

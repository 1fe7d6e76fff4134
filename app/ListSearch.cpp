// SPDX-License-Identifier: GPL-3.0-or-later
// The list search's worker: one thread, one connection, the newest request.
#include "app/ListSearch.h"

#include "db/Database.h"
#include "db/SqlError.h"
#include "filter/CachePositions.h"

#include <sqlite3.h>

#include <algorithm>

namespace tw {
namespace {

// Snippets are wanted for every listed cache; the hits come best first, so
// more of them than rows are asked for, in case the filter drops some.
constexpr int kHitsPerRow = 4;
constexpr int kMinHits = 2000;

} // namespace

ListSearch::ListSearch(std::function<void()> ready) : m_ready(std::move(ready)) {}

ListSearch::~ListSearch()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        if (m_running)
            sqlite3_interrupt(m_running);
    }
    m_wake.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

std::uint64_t ListSearch::start(Request request)
{
    std::uint64_t number = 0;
    {
        std::lock_guard lock(m_mutex);
        number = ++m_askedNumber;
        m_asked = std::move(request);
        m_result.reset();
        // The running request is no longer wanted: let SQLite drop it.
        if (m_running)
            sqlite3_interrupt(m_running);
        if (!m_worker.joinable())
            m_worker = std::thread([this] { run(); });
    }
    m_wake.notify_all();
    return number;
}

void ListSearch::cancel()
{
    std::lock_guard lock(m_mutex);
    ++m_askedNumber;
    m_asked.reset();
    m_result.reset();
    if (m_running)
        sqlite3_interrupt(m_running);
}

std::optional<ListSearch::Result> ListSearch::take()
{
    std::lock_guard lock(m_mutex);
    std::optional<Result> result;
    if (m_result && m_result->number == m_askedNumber)
        result = std::move(m_result);
    m_result.reset();
    return result;
}

std::uint64_t ListSearch::newest() const
{
    std::lock_guard lock(m_mutex);
    return m_askedNumber;
}

void ListSearch::setAfterRead(std::function<void(std::uint64_t)> hook)
{
    std::lock_guard lock(m_mutex);
    m_afterRead = std::move(hook);
}

void ListSearch::run()
{
    // The worker's own connection, opened again when the program switches
    // to another database; positions are kept for it between requests.
    std::unique_ptr<SQLite::Database> db;
    CachePositions positions;
    for (;;) {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stop || m_asked; });
        if (m_stop)
            return;
        const Request request = std::move(*m_asked);
        m_asked.reset();
        const std::uint64_t number = m_askedNumber;
        lock.unlock();

        Result result;
        result.number = number;
        try {
            if (!db || db->fileName() != request.databasePath) {
                positions = CachePositions();
                db = std::make_unique<SQLite::Database>();
                if (db->OpenFile(request.databasePath) != SQLITE_OK)
                    throw SQLite::Error(SQLITE_CANTOPEN, db->errorText(), nullptr);
            }
            lock.lock();
            m_running = db->handle();
            lock.unlock();
            std::vector<fulltext::Hit> hits = fulltext::Search(
                *db, request.query, request.fields, std::max(request.reading.rowLimit * kHitsPerRow, kMinHits));
            if (!overtaken(number)) {
                readFilteredCaches(*db, request.filter, request.reading, &positions, result.caches);
                orderAndCut(result.caches, request.reading);
                result.snippets = snippetsOf(hits);
            }
        } catch (const SQLite::Error& e) {
            result.caches.clear();
            result.ok = false;
            result.error = e.message;
        } catch (const std::exception& e) {
            result.caches.clear();
            result.ok = false;
            result.error = e.what();
        }

        lock.lock();
        m_running = nullptr;
        const auto hook = m_afterRead;
        lock.unlock();
        if (hook)
            hook(number);

        lock.lock();
        // An interrupted or overtaken request has nothing to say.
        if (number != m_askedNumber || m_stop)
            continue;
        m_result = std::move(result);
        lock.unlock();
        if (m_ready)
            m_ready();
    }
}

bool ListSearch::overtaken(std::uint64_t number) const
{
    std::lock_guard lock(m_mutex);
    return number != m_askedNumber || m_stop;
}

std::unordered_map<int, std::string> ListSearch::snippetsOf(const std::vector<fulltext::Hit>& hits)
{
    std::unordered_map<int, std::string> snippets;
    for (const fulltext::Hit& hit : hits)
        snippets.emplace(static_cast<int>(hit.key), hit.snippet);
    return snippets;
}

} // namespace tw

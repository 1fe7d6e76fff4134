// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CacheList.h"
#include "db/FullText.h"
#include "filter/CacheFilter.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

struct sqlite3;

namespace tw {

// The cache list narrowed by a text query, read on a worker thread of its
// own with a connection of its own, so that typing never waits for the
// database. Only the newest request counts: a request asked while another
// runs interrupts that one, and a result that is no longer the newest is
// dropped, however late it comes.
class ListSearch {
public:
    struct Request {
        std::string databasePath;  // the cache database, opened by the worker
        CacheFilter filter;        // with the text query among its conditions
        ListReading reading;       // reference, row limit and the list's order
        std::string query;         // as typed, for the snippets
        TextFields fields = TextField::All;
    };
    struct Result {
        std::uint64_t number = 0; // the request's, as start() gave it
        std::vector<std::unique_ptr<CGeocache>> caches;
        std::unordered_map<int, std::string> snippets; // by cache key
        // False when the database could not be read; error holds SQLite's text.
        bool ok = true;
        std::string error;
    };

    // ready is called on the worker thread whenever a result waits for take().
    explicit ListSearch(std::function<void()> ready);
    // Interrupts a running request and waits for the worker to end.
    ~ListSearch();
    ListSearch(const ListSearch&) = delete;
    ListSearch& operator=(const ListSearch&) = delete;

    // Asks for a list; the number grows with every request (from 1).
    std::uint64_t start(Request request);
    // Forgets the request asked and any result not taken.
    void cancel();
    // The result of the newest request, once it is there; nothing otherwise.
    std::optional<Result> take();
    // The number of the newest request, 0 before any.
    std::uint64_t newest() const;

    // Runs on the worker after a request was read, before its result is
    // offered: lets a test hold an older result until a newer one is asked.
    void setAfterRead(std::function<void(std::uint64_t number)> hook);

    // The snippets of the hits, by cache key.
    static std::unordered_map<int, std::string> snippetsOf(const std::vector<fulltext::Hit>& hits);

private:
    void run();
    bool overtaken(std::uint64_t number) const;

    std::function<void()> m_ready;
    std::function<void(std::uint64_t)> m_afterRead;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Request> m_asked;
    std::uint64_t m_askedNumber = 0;
    std::optional<Result> m_result;
    bool m_stop = false;
    sqlite3* m_running = nullptr; // the worker's connection while it reads
    std::thread m_worker;
};

} // namespace tw

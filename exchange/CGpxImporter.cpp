// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/CGpxImporter.h"

#include "db/CacheStore.h"
#include "db/Enumerations.h"
#include "platform/JobProgress.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "xml/CXmlTokenizer.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace tw {
namespace {


// Import results of the store.
constexpr int kNewCache = 1;
constexpr int kNewWaypoint = 2;
constexpr int kSkipped = 3;
constexpr int kUpdated = 4;
constexpr int kFailed = 5;

// Counters of the progress dialog.
constexpr int kCounterNew = 1;
constexpr int kCounterWaypoints = 2;
constexpr int kCounterSkipped = 3;
constexpr int kCounterUpdated = 4;

// Element text kept for one element. Listings stay far below it; the rest of
// a larger text is dropped rather than held.
constexpr std::size_t kMaxElementText = 4u << 20;
// Attribute entries of one cache: the attribute table, each with yes and no.
constexpr std::size_t kMaxAttributes = 256;

// Positions that are somewhere on Earth.
bool validCoordinate(double value, double limit)
{
    return std::isfinite(value) && std::abs(value) <= limit;
}

bool startsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}


} // namespace

std::string guidFromUrl(const std::string& url, const char* path)
{
    const std::size_t at = url.find(path);
    if (at == std::string::npos)
        return url;
    const std::string site = url.substr(0, at);
    const bool address = site.empty() || ((startsWith(site, "http://") || startsWith(site, "https://")) &&
                                          site.find('/', site.find("//") + 2) == std::string::npos);
    return address ? url.substr(at + std::strlen(path)) : url;
}

int gpxDate(const std::string& text)
{
    return num::leadingInt(text::replaceAll(text, "-", "")).value_or(0);
}

// A finished entry; one without a place on Earth is counted, not stored.
struct CGpxImporter::Entry {
    std::unique_ptr<CGeocache> cache;
    std::unique_ptr<CWaypoint> waypoint;
    bool badPosition = false;
};

// Finished entries on their way from the parser to the thread that stores
// them. Bounded, so that a large file never sits in memory. A thread that
// finds nothing to take, or no room, sleeps until half the queue has changed:
// woken for every entry, the threads spent their time switching.
class CGpxImporter::EntryQueue {
public:
    void push(Entry entry)
    {
        std::unique_lock lock(m_mutex);
        if (m_entries.size() >= kCapacity)
            m_space.wait(lock, [&] { return m_entries.size() <= kCapacity - kWake; });
        m_entries.push_back(std::move(entry));
        if (m_entries.size() >= kWake)
            m_ready.notify_one();
    }

    // False once the parser is done and everything has been taken.
    bool pop(Entry& entry)
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
    std::deque<Entry> m_entries;
    bool m_closed = false;
};

// Entries the store is done with go back to the parser, and the next ones
// reuse the room of their texts and lists. Allocated on one thread and freed
// on another, they kept the allocator busy with its locks and its returns of
// memory to the system. Only a few are kept; the rest are freed.
class CGpxImporter::Spares {
public:
    void give(Entry& entry)
    {
        std::lock_guard lock(m_mutex);
        if (entry.cache && m_caches.size() < kKeep)
            m_caches.push_back(std::move(entry.cache));
        if (entry.waypoint && m_waypoints.size() < kKeep)
            m_waypoints.push_back(std::move(entry.waypoint));
    }

    // A cache as new, keeping the room of its texts; its logs move to logs.
    std::unique_ptr<CGeocache> cache(std::vector<std::unique_ptr<CGeoLog>>& logs)
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
        reuse(fresh.text, old.text);
        reuse(fresh.longDesc, old.longDesc);
        reuse(fresh.hint, old.hint);
        reuse(fresh.packedText, old.packedText);
        reuse(fresh.packedLongDesc, old.packedLongDesc);
        reuse(fresh.logs, old.logs);
        reuse(fresh.attributes, old.attributes);
        old = std::move(fresh);
        return c;
    }

    std::unique_ptr<CWaypoint> waypoint()
    {
        std::unique_ptr<CWaypoint> w = take(m_waypoints);
        if (!w)
            return std::make_unique<CWaypoint>();
        CWaypoint fresh;
        reuse(fresh.code, w->code);
        reuse(fresh.name, w->name);
        reuse(fresh.text, w->text);
        *w = std::move(fresh);
        return w;
    }

    static std::unique_ptr<CGeoLog> log(std::vector<std::unique_ptr<CGeoLog>>& logs)
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

private:
    static constexpr std::size_t kKeep = 48;
    static constexpr std::size_t kKeepLogs = 1024;

    // Hands the room of from, emptied, to to.
    template <typename T>
    static void reuse(T& to, T& from)
    {
        from.clear();
        to = std::move(from);
    }

    template <typename T>
    std::unique_ptr<T> take(std::vector<std::unique_ptr<T>>& list)
    {
        std::lock_guard lock(m_mutex);
        if (list.empty())
            return nullptr;
        std::unique_ptr<T> p = std::move(list.back());
        list.pop_back();
        return p;
    }

    std::mutex m_mutex;
    std::vector<std::unique_ptr<CGeocache>> m_caches;
    std::vector<std::unique_ptr<CWaypoint>> m_waypoints;
};

struct CGpxImporter::State {
    EntryQueue* queue = nullptr;
    Spares spares;
    // Logs of spare caches, for the parser's next logs.
    std::vector<std::unique_ptr<CGeoLog>> spareLogs;
    std::unique_ptr<CGeocache> cache;
    std::unique_ptr<CWaypoint> waypoint;
    std::unique_ptr<CGeoLog> log;
    std::string text;
    // A short value on its way to a number or a type.
    std::string value;
    std::string attributeEntry;
    bool wptOpen = false;
    bool badPosition = false;
    bool inAttributes = false;
    bool inLogs = false;
    bool inLog = false;
    bool inTravelBugs = false;
    bool sawGpxEnd = false;
};

CGpxImporter::CGpxImporter(ImportStore& store, std::string nickname)
    : m_store(store), m_nickname(std::move(nickname))
{
}

CGpxImporter::Outcome CGpxImporter::parse(CXmlCharSource& source, JobProgress* progress)
{
    // A store that broke down on an earlier document takes nothing more.
    if (m_stopped)
        return Outcome::Failed;
    CXmlTokenizer xml(source);
    // Pocket queries write accented letters as numeric references.
    xml.setDecodeCharacterReferences(true);
    xml.setWholeTexts(true);
    State s;
    // Pipelined, three threads share the two cores: this one parses, the
    // second compresses the texts, the third stores.
    EntryQueue parsed;
    EntryQueue packed;
    std::thread packer;
    std::thread storer;
    if (m_pipelined) {
        s.queue = &parsed;
        packer = std::thread([this, &parsed, &packed] {
            Entry entry;
            while (parsed.pop(entry)) {
                if (!m_stopped && entry.cache)
                    packTexts(*entry.cache);
                packed.push(std::move(entry));
            }
            packed.close();
        });
        storer = std::thread([this, &packed, &spares = s.spares, progress] {
            // Entries share a commit in batches; each keeps its own savepoint.
            // A commit writes the pages it changed to the log again: the
            // last pages of every table and index, and the nodes of the
            // position index, which grows with the database. So fewer and
            // larger commits write less: with batches of 1,024 caches a 10k
            // import wrote 40 % less than with batches of 64, and batches of
            // 4,096 cut a 50k import's writes by another quarter. The first
            // batches are small and each is twice the one before, so that an
            // import that fails early (a full disk) still keeps what it
            // stored. The byte limit keeps the log of a batch of huge
            // listings within bounds.
            constexpr int kFirstBatch = 64;
            constexpr int kLargestBatch = 4096;
            constexpr std::size_t kBatchBytes = 16u << 20;
            Entry entry;
            Counts before = counts();
            int batch = kFirstBatch;
            int inBatch = 0;
            std::size_t batchBytes = 0;
            m_store.beginBatch();
            while (packed.pop(entry)) {
                // Once stopped, what is still queued is only taken off, so
                // that the parser never waits for room.
                if (m_stopped)
                    continue;
                storeEntry(entry, progress);
                if (entry.cache) {
                    batchBytes += entry.cache->packedText.size() + entry.cache->packedLongDesc.size();
                    for (const auto& log : entry.cache->logs)
                        batchBytes += log->packedText.size();
                }
                spares.give(entry);
                if (++inBatch == batch || batchBytes >= kBatchBytes || m_stopped) {
                    closeBatch(before, progress);
                    before = counts();
                    batch = std::min(2 * batch, kLargestBatch);
                    inBatch = 0;
                    batchBytes = 0;
                    if (!m_stopped)
                        m_store.beginBatch();
                }
            }
            if (!m_stopped)
                closeBatch(before, progress);
        });
    }
    struct Join {
        EntryQueue& parsed;
        std::thread& packer;
        EntryQueue& packed;
        std::thread& storer;
        void operator()()
        {
            parsed.close();
            if (packer.joinable())
                packer.join();
            // The packer closes its queue when it ends; closing it here too
            // covers a packer that never started.
            packed.close();
            if (storer.joinable())
                storer.join();
        }
        ~Join() { (*this)(); }
    } join{parsed, packer, packed, storer};
    std::string element;
    if (progress) {
        progress->setCounter(kCounterNew, m_newCaches);
        progress->setCounter(kCounterWaypoints, m_waypoints);
        progress->setCounter(kCounterSkipped, m_skipped);
        progress->setCounter(kCounterUpdated, m_updated);
    }
    for (int token = xml.NextToken(); token != XT_END; token = xml.NextToken()) {
        switch (token) {
        case XT_START_TAG:
            element = xml.GetTagName();
            startTag(s, element);
            break;
        case XT_ATTRIBUTE:
            if (s.wptOpen)
                attribute(s, element, xml.GetAttrName(), xml.GetValueUtf8());
            break;
        case XT_TEXT:
        case XT_SPACE:
        case XT_CHUNK:
            if (s.text.size() < kMaxElementText)
                appendUtf8(s.text, xml.GetValue());
            break;
        case XT_END_TAG: {
            element = xml.GetTagName();
            const bool entryEnds = element == "wpt" && s.wptOpen;
            endTag(s, element, progress);
            if (entryEnds && (m_stopped || cancelled())) {
                join();
                return m_stopped ? Outcome::Failed : Outcome::Cancelled;
            }
            break;
        }
        default:
            break;
        }
    }
    // The last entries may still be on their way into the store.
    join();
    if (m_stopped)
        return Outcome::Failed;
    return s.sawGpxEnd ? Outcome::Complete : Outcome::Truncated;
}

bool CGpxImporter::cancelled() const
{
    return cancel || (m_externalCancel && *m_externalCancel);
}

void CGpxImporter::startTag(State& s, const std::string& name)
{
    if (name == "wpt") {
        s.cache = s.spares.cache(s.spareLogs);
        s.waypoint = s.spares.waypoint();
        s.log.reset();
        s.wptOpen = true;
        s.badPosition = false;
        s.inAttributes = s.inLogs = s.inLog = s.inTravelBugs = false;
    } else if (name == "groundspeak:attributes") {
        if (s.cache)
            s.cache->attributes.clear();
        s.inAttributes = true;
    } else if (name == "groundspeak:logs") {
        s.inLogs = true;
    } else if (name == "groundspeak:log") {
        s.log = Spares::log(s.spareLogs);
        s.inLog = true;
    } else if (name == "groundspeak:travelbugs") {
        s.inTravelBugs = true;
    } else {
        s.text.clear();
    }
}

void CGpxImporter::attribute(State& s, const std::string& element, const char* name, const std::string& value)
{
    CGeocache& c = *s.cache;
    auto readInt = [&](int& field) {
        if (const auto v = num::leadingInt(value))
            field = *v;
    };
    if (element == "wpt") {
        const bool lat = std::strcmp(name, "lat") == 0;
        if (!lat && std::strcmp(name, "lon") != 0)
            return;
        const auto v = num::leadingDouble(value);
        if (!v)
            return;
        if (!validCoordinate(*v, lat ? 90.0 : 180.0)) {
            s.badPosition = true;
            return;
        }
        (lat ? c.lat : c.lon) = *v;
        s.waypoint->lat = c.lat;
        s.waypoint->lon = c.lon;
    } else if (element == "groundspeak:cache") {
        if (std::strcmp(name, "id") == 0)
            readInt(c.cacheId);
        else if (std::strcmp(name, "available") == 0)
            c.status = value == "False" ? 1 : 0;
        else if (std::strcmp(name, "archived") == 0 && value == "True")
            c.status = 2;
    } else if (element == "groundspeak:owner") {
        if (std::strcmp(name, "id") == 0)
            readInt(c.ownerId);
    } else if (element == "groundspeak:log" && s.inLog && s.log) {
        if (std::strcmp(name, "id") == 0)
            readInt(s.log->logId);
    } else if (element == "groundspeak:finder" && s.inLog && s.log) {
        if (std::strcmp(name, "id") == 0)
            readInt(s.log->finderId);
    } else if (element == "groundspeak:short_description") {
        if (std::strcmp(name, "html") == 0)
            c.shortDescHtml = value != "False";
    } else if (element == "groundspeak:long_description") {
        if (std::strcmp(name, "html") == 0)
            c.longDescHtml = value != "False";
    } else if (element == "groundspeak:attribute" && s.inAttributes) {
        if (std::strcmp(name, "id") == 0) {
            s.attributeEntry = attributeName(num::leadingInt(value).value_or(0));
        } else if (std::strcmp(name, "inc") == 0) {
            s.attributeEntry += value == "0" ? "-no" : "-yes";
            auto& list = c.attributes;
            if (list.size() < kMaxAttributes && std::find(list.begin(), list.end(), s.attributeEntry) == list.end())
                list.push_back(s.attributeEntry);
        }
    }
}

std::string CGpxImporter::takeText(State& s)
{
    std::string t;
    takeText(s, t);
    return t;
}

const std::string& CGpxImporter::takeText(State& s, std::string& out)
{
    // Writers indent and break lines around element content; the blanks
    // around a value are layout, not data. Texts are stored with LF line
    // ends, as an XML reader would hand them over. The text is used up:
    // an end tag that reads it again would make a file of many end tags
    // cost the square of its length.
    // The text is copied out rather than moved, so that the buffer keeps
    // its room for the next element, and out keeps its own.
    m_textBytesRead += s.text.size();
    const char* blanks = " \t\r\n";
    const std::size_t first = s.text.find_first_not_of(blanks);
    if (first != std::string::npos)
        out.assign(s.text, first, s.text.find_last_not_of(blanks) - first + 1);
    else
        out.clear();
    s.text.clear();
    if (out.find('\r') != std::string::npos)
        out = text::replaceAll(out, "\r\n", "\n");
    return out;
}

void CGpxImporter::updateFoundDate(State& s)
{
    if (!m_nickname.empty() && s.log->finder == m_nickname && s.log->type == LogType::FoundIt)
        s.cache->found = s.log->date;
}

void CGpxImporter::endTag(State& s, const std::string& name, JobProgress* progress)
{
    if (name == "gpx") {
        s.sawGpxEnd = true;
        return;
    }
    if (name == "groundspeak:travelbugs") {
        s.inTravelBugs = false;
        return;
    }
    if (!s.wptOpen)
        return;
    CGeocache& c = *s.cache;
    CWaypoint& w = *s.waypoint;

    if (s.inLog && s.log) {
        CGeoLog& log = *s.log;
        if (name == "groundspeak:date") {
            log.date = gpxDate(takeText(s, s.value));
            updateFoundDate(s);
            return;
        }
        if (name == "groundspeak:type") {
            log.type = logTypeFromText(takeText(s, s.value));
            updateFoundDate(s);
            return;
        }
        if (name == "groundspeak:finder") {
            takeText(s, log.finder);
            updateFoundDate(s);
            return;
        }
        if (name == "groundspeak:text") {
            takeText(s, log.text);
            return;
        }
        if (name == "groundspeak:log") {
            s.inLog = false;
            c.logs.push_back(std::move(s.log));
            return;
        }
    }

    if (name == "time") {
        c.hidden = gpxDate(takeText(s, s.value));
    } else if (name == "name") {
        const std::string t = takeText(s);
        c.code = t;
        // The GPX name of a waypoint is its prefix and its cache's code; the
        // store splits it. Its name for people is the description.
        w.code = t;
        w.name = t;
        if (progress) {
            progress->setText(1, t);
            progress->setText(2, "");
        }
    } else if (name == "cmt") {
        takeText(s, w.text);
    } else if (name == "desc") {
        if (std::string t = takeText(s); !t.empty())
            w.name = std::move(t);
    } else if (name == "url") {
        std::string url = takeText(s);
        if (!startsWith(url, "guid")) {
            url = guidFromUrl(url, kCacheUrlPath);
            c.guid = url;
        }
        if (!startsWith(url, "WID")) {
            url = guidFromUrl(url, kWaypointUrlPath);
            w.guid = url;
        }
    } else if (name == "sym") {
        w.type = waypointTypeFromText(takeText(s, s.value));
    } else if (name == "groundspeak:name") {
        if (!s.inTravelBugs) {
            takeText(s, c.name);
            if (progress)
                progress->setText(2, c.name);
        }
    } else if (name == "groundspeak:owner") {
        c.author = takeText(s);
    } else if (name == "groundspeak:placed_by") {
        // Files without an owner element still name who placed the cache.
        std::string t = takeText(s);
        if (c.author.empty())
            c.author = std::move(t);
    } else if (name == "groundspeak:type") {
        if (!s.inTravelBugs)
            c.type = cacheTypeFromText(takeText(s, s.value));
    } else if (name == "groundspeak:container") {
        c.size = cacheSizeFromText(takeText(s, s.value));
    } else if (name == "groundspeak:difficulty" || name == "groundspeak:terrain") {
        const auto v = num::leadingDouble(takeText(s, s.value));
        if (v && std::isfinite(*v) && std::abs(*v) < 1e6)
            (name == "groundspeak:difficulty" ? c.difficulty : c.terrain) = static_cast<int>(*v * 10.0);
    } else if (name == "groundspeak:short_description") {
        takeText(s, c.text);
    } else if (name == "groundspeak:long_description") {
        takeText(s, c.longDesc);
    } else if (name == "groundspeak:encoded_hints") {
        takeText(s, c.hint);
    } else if (name == "groundspeak:country") {
        c.country = takeText(s);
    } else if (name == "groundspeak:state") {
        c.state = takeText(s);
    } else if (name == "groundspeak:attributes") {
        s.inAttributes = false;
    } else if (name == "groundspeak:logs") {
        s.inLogs = false;
    } else if (name == "wpt") {
        store(s, progress);
        s.wptOpen = false;
    }
}

CGpxImporter::Counts CGpxImporter::counts() const
{
    return {m_newCaches, m_waypoints, m_skipped, m_updated};
}

void CGpxImporter::closeBatch(const Counts& before, JobProgress* progress)
{
    if (m_store.endBatch())
        return;
    // The batch did not reach the file: what it counted as stored was not.
    const Counts now = counts();
    const int lost = (now.newCaches - before.newCaches) + (now.waypoints - before.waypoints) +
                     (now.updated - before.updated);
    m_newCaches = before.newCaches;
    m_waypoints = before.waypoints;
    m_updated = before.updated;
    m_failed += lost;
    m_storeError = m_store.errorText();
    m_stopped = true;
    if (progress) {
        progress->setCounter(kCounterNew, m_newCaches);
        progress->setCounter(kCounterWaypoints, m_waypoints);
        progress->setCounter(kCounterUpdated, m_updated);
    }
}

void CGpxImporter::packTexts(CGeocache& cache)
{
    CompressText(cache.text, cache.packedText);
    CompressText(cache.longDesc, cache.packedLongDesc);
    for (auto& log : cache.logs)
        CompressText(log->text, log->packedText);
}

void CGpxImporter::storeEntry(Entry& entry, JobProgress* progress)
{
    auto count = [&](std::atomic<int>& counter, int k) {
        const int value = ++counter;
        if (progress)
            progress->setCounter(k, value);
    };
    auto result = [&](int r) {
        switch (r) {
        case kNewCache: count(m_newCaches, kCounterNew); break;
        case kNewWaypoint: count(m_waypoints, kCounterWaypoints); break;
        case kUpdated: count(m_updated, kCounterUpdated); break;
        case kSkipped: count(m_skipped, kCounterSkipped); break;
        case kFailed:
            // An error, not a skip; one that every later entry would meet
            // too ends the import here instead of failing them all.
            ++m_failed;
            m_storeError = m_store.errorText();
            if (m_store.broken())
                m_stopped = true;
            break;
        default: break;
        }
    };
    const std::string& code = entry.cache->code;
    if (entry.badPosition)
        count(m_skipped, kCounterSkipped);
    else if (startsWith(code, "GC") && code.size() <= 7)
        result(m_store.StoreImportedCache(*entry.cache));
    else if (entry.waypoint->code.size() > 7)
        count(m_skipped, kCounterSkipped);
    else
        result(m_store.StoreImportedWaypoint(*entry.waypoint));
}

void CGpxImporter::store(State& s, JobProgress* progress)
{
    Entry entry{std::move(s.cache), std::move(s.waypoint), s.badPosition};
    if (s.queue)
        s.queue->push(std::move(entry));
    else if (!m_stopped) {
        storeEntry(entry, progress);
        s.spares.give(entry);
    }
    s.log.reset();
}

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "exchange/ImportPipeline.h"
#include "exchange/ImportStore.h"
#include "xml/CXmlCharSource.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_set>

namespace tw {

class JobProgress;

// The web addresses that carry a cache's and a waypoint's identifiers in
// pocket queries. The export writes them; the import strips them again.
// The paths of the cache site's detail pages that pocket queries link to;
// whatever host stands before them, the guid follows.
inline constexpr const char* kCacheUrlPath = "/seek/cache_details.aspx?guid=";
inline constexpr const char* kWaypointUrlPath = "/seek/wpt.aspx?WID=";
// Where the export points the detail pages of what has a guid.
inline constexpr const char* kCacheSite = "https://www.geocaching.com";
// The guid from a detail-page address (http or https, any host, or the bare
// path); empty when the text is no such address: a listing address of
// another kind is no guid.
std::string guidFromUrl(const std::string& url, const char* path);

// Reads pocket-query GPX (GPX 1.0 or 1.1 with the cache extension, as the
// cache site, desktop cache managers, route planners and other platforms
// write it) and hands every geocache and additional waypoint to an
// ImportStore. A wpt is a geocache when it has the cache element; its code
// is found at its end tag (see findCode). Reentrant: it runs on
// a worker thread while a progress dialog shows its counters.
class CGpxImporter {
public:
    enum class Outcome {
        Complete,  // the gpx end tag was read
        Truncated, // the input ended before it (truncated file, broken encoding)
        Cancelled,
        Failed,    // the store broke down (see ImportStore::broken); what it stored before stays
    };

    // nickname: the user's name; a "Found it" log by it sets the found date.
    CGpxImporter(ImportStore& store, std::string nickname);

    // Reads one document; the counts go on from earlier documents, so a main
    // file and its waypoints file make one job. progress may be null.
    Outcome parse(CXmlCharSource& source, JobProgress* progress);

    int newCaches() const { return m_tally.newCaches; }
    int waypoints() const { return m_tally.waypoints; }
    // Caches left as they were because they are already in the database.
    int skipped() const { return m_tally.skipped; }
    // Entries that are no geocache and belong to none, or have no place on
    // Earth: not stored.
    int notCaches() const { return m_tally.notCaches; }
    int updated() const { return m_tally.updated; }
    // Entries the store failed to store (not counted as skipped), and why.
    int failed() const { return m_tally.failed; }
    const std::string& storeError() const { return m_tally.storeError; }
    // Bytes of element text looked at as elements ended: never more than the
    // input holds, whatever its shape, so the work stays linear.
    std::size_t textBytesRead() const { return m_textBytesRead; }

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
    struct Reader;
    bool cancelled() const;
    std::string takeText(std::string& text);
    const std::string& takeText(std::string& text, std::string& out);
    void readAddress(State& s);
    void startTag(State& s, const std::string& name, std::string& text);
    void attribute(State& s, const std::string& element, const char* name, const std::string& value);
    // True when the entry ended with it.
    bool endTag(State& s, const std::string& name, std::string& text, JobProgress* progress);
    void extensionEnd(State& s, const std::string& name, std::string& text);
    void store(State& s);
    // The entry's code, and whether it is a cache, a waypoint or neither.
    void classify(State& s);
    void findCode(State& s);
    void findParent(State& s);
    void findFoundDate(State& s);

    ImportStore& m_store;
    std::string m_nickname;
    ImportTally m_tally;
    std::size_t m_textBytesRead = 0;
    const std::atomic<bool>* m_externalCancel = nullptr;
    bool m_pipelined = false;
    // The codes of this job's caches of platforms other than the cache
    // site, so that their waypoints find them by the code's tail.
    std::unordered_set<std::string> m_otherCodes;
    std::string m_otherPrefixes;
};

} // namespace tw

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

namespace tw {

class JobProgress;

// The web addresses that carry a cache's and a waypoint's identifiers in
// pocket queries. The export writes them; the import strips them again.
// The paths of the cache site's detail pages that pocket queries link to;
// whatever host stands before them, the guid follows.
inline constexpr const char* kCacheUrlPath = "/seek/cache_details.aspx?guid=";
inline constexpr const char* kWaypointUrlPath = "/seek/wpt.aspx?WID=";
// The guid from a detail-page address (http or https, any host, or the bare
// path); the text as it is when it is no such address.
std::string guidFromUrl(const std::string& url, const char* path);

// Reads pocket-query GPX (GPX 1.0 with the cache extension) and hands every
// geocache and additional waypoint to an ImportStore. Reentrant: it runs on
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
    int skipped() const { return m_tally.skipped; }
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
    void startTag(State& s, const std::string& name, std::string& text);
    void attribute(State& s, const std::string& element, const char* name, const std::string& value);
    // True when the entry ended with it.
    bool endTag(State& s, const std::string& name, std::string& text, JobProgress* progress);
    void extensionEnd(State& s, const std::string& name, std::string& text);
    void store(State& s);

    ImportStore& m_store;
    std::string m_nickname;
    ImportTally m_tally;
    std::size_t m_textBytesRead = 0;
    const std::atomic<bool>* m_externalCancel = nullptr;
    bool m_pipelined = false;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "db/CWaypoint.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>
#include <string_view>

namespace tw {

// What a handheld unit wants different from an export. The defaults write
// the export as it always was.
struct GpxWriterOptions {
    int maxLogs = -1;                   // the newest this many logs of a cache; -1: all
    std::size_t maxWaypointNameLength = 0; // characters of a waypoint's <name>; 0: no limit
};

// Older units keep 14 characters of a waypoint name.
inline constexpr std::size_t kDeviceWaypointNameLength = 14;

// Writes caches as a pocket query: GPX 1.0 with the cache extension, UTF-8,
// one element per line, readable by the import and by other software.
class GpxWriter {
public:
    // The writer does not own the file.
    explicit GpxWriter(std::FILE* out, GpxWriterOptions options = {}) : m_out(out), m_options(options) {}

    void header(std::time_t now);
    // The cache with its logs (newest first), its travel bugs and its
    // additional waypoints as wpt elements of their own.
    void cache(const CGeocache& cache);
    void footer();
    // False once a write has failed (disk full).
    bool ok() const { return m_ok; }
    // Bytes and waypoints (additional ones, without the caches) written so far.
    std::uintmax_t bytes() const { return m_bytes; }
    int waypoints() const { return m_waypoints; }

private:
    void line(const std::string& text);
    void waypoint(const CGeocache& cache, const CWaypoint& waypoint);

    std::FILE* m_out;
    GpxWriterOptions m_options;
    bool m_ok = true;
    std::uintmax_t m_bytes = 0;
    int m_waypoints = 0;
};

// The text inside a CDATA section; a "]]>" in it is split over two sections
// so that it cannot end the first one early.
std::string cdata(std::string_view text);
// "%Y-%m-%dT%H:%M:%SZ" of 00:00 local time on a YYYYMMDD date (1970 for an
// invalid one). The Z is written although the time is local, as pocket
// queries do.
std::string gpxTimeOfDate(int ymd);
// True when a YYYYMMDD value names a day (0, "no date", does not).
bool isDayDate(int ymd);
std::string gpxTime(std::time_t t);
// 15 gives "1.5", 20 gives "2".
std::string ratingText(int timesTen);
// Text with &, < and > escaped for element content.
std::string xmlEscape(std::string_view text);
// The first limit characters of a UTF-8 text (all of a shorter one).
std::string_view utf8Prefix(std::string_view text, std::size_t limit);

inline constexpr const char* kGpx10Namespace = "http://www.topografix.com/GPX/1/0";
inline constexpr const char* kGpx10Schema = "http://www.topografix.com/GPX/1/0/gpx.xsd";
inline constexpr const char* kCache101Namespace = "http://www.groundspeak.com/cache/1/0/1";
inline constexpr const char* kCache101Schema = "http://www.groundspeak.com/cache/1/0/1/cache.xsd";

} // namespace tw

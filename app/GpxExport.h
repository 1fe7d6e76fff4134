// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <filesystem>
#include <string>

namespace tw {

class CGlobalData;
class GpxWriter;
class JobProgress;

struct ExportSummary {
    bool written = false; // the file exists and ends with its end tag
    int caches = 0;       // caches written
    bool cancelled = false;
    std::string error;    // why nothing was written; empty when written
};

// Reloads the cache list through the current filter (every cache it lets
// through, whatever MaxRows says) and writes it, with
// logs and additional waypoints, to a pocket-query GPX file. Runs on the
// calling thread; progress may be null; cancel is read before each cache. A
// cancelled export is still a complete file of the caches written so far.
// The file is written under a temporary name and renamed at the end, so an
// existing file is replaced only by a whole one: a database or a write that
// fails leaves it as it was.
ExportSummary exportGpx(CGlobalData& global, const std::filesystem::path& path, JobProgress* progress,
                        const std::atomic<bool>* cancel);

// How a write of the listed caches ended.
enum class ListedWrite { Done, Cancelled, Unreadable };

// Writes every cache of the list, with its long texts, logs and the
// additional waypoints of the filter's types (each cache's details dropped
// again once written), showing each on the progress (may be null). Stops at
// a cancel, when the writer has failed, and at a cache the database cannot
// read, whose message is shown. caches counts the caches written.
ListedWrite writeListedCaches(CGlobalData& global, GpxWriter& writer, JobProgress* progress,
                              const std::atomic<bool>* cancel, int& caches);

} // namespace tw

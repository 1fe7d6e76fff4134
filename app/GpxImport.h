// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;
class JobProgress;

struct ImportSummary {
    int newCaches = 0;
    int waypoints = 0;
    int skipped = 0;        // caches already in the database, left as they were
    int notCaches = 0;      // entries that are no geocache and belong to none, or have no place on Earth
    int updated = 0;
    int failed = 0;         // entries the database did not take: an error, not a skip
    int logs = 0;           // logs of the caches stored (counted for a cache manager's database)
    bool database = false;  // the file was a cache manager's database, not GPX
    bool complete = false;  // every document was read to its end
    // Documents not read (whole), each a sentence: zip members that could
    // not be read, files that are no GPX files.
    std::vector<std::string> unreadable;
    bool cancelled = false;
    bool stopped = false;   // the database broke down (full disk, I/O error); the import ended there
    std::string error;      // the file could not be read at all
    std::string storeError; // why the database did not take the failed entries
};

// Takes the import marker off every cache: it names the caches of the
// latest import only, so each import (and each online download) starts by
// clearing it.
void clearImportMarker(CGlobalData& global);

// Imports a pocket query into the cache database: a GPX file (with its
// waypoints file beside it), a zipped pocket query, or the database of the
// desktop cache manager (told by its content; read from a private copy made
// beside the cache database, so the manager's file is only read, and only
// briefly locked). Runs on the calling
// thread; progress may be null; cancel is polled between entries.
ImportSummary importGpx(CGlobalData& global, const std::filesystem::path& path, JobProgress* progress,
                        const std::atomic<bool>* cancel);

// The text a finished import shows; failed entries, entries that were no
// geocaches and caches already there are each counted in it.
std::string importCompletionText(const CGlobalData& global, const ImportSummary& summary);

} // namespace tw

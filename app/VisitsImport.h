// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/DeviceVisits.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;
class JobProgress;

// Where visits come from: the visits file of a unit, or a file given as it is.
struct VisitsSource {
    std::filesystem::path file;
    // What the newest visit taken is remembered under: the unit's id, or
    // the file's path.
    std::string key;
    std::string name; // shown: the unit's model (or its folder), or the file
};

// The unit's file below its volume.
inline constexpr const char* kVisitsFilePath = "Garmin/geocache_visits.txt";

// A unit's volume, its Garmin/ or Garmin/GPX/ folder, or a visits file.
std::optional<VisitsSource> visitsSourceAt(const std::string& place);
// The mounted units that hold a visits file, the configured folder
// ([Options] GpsDeviceFolder) first.
std::vector<VisitsSource> devicesWithVisits(CGlobalData& global);

// The newest visit time ("YYYY-MM-DDTHH:MMZ") taken from a source, kept in
// the section [Devices] of the settings file; empty when none.
std::string rememberedVisitTime(CGlobalData& global, const std::string& key);
void rememberVisitTime(CGlobalData& global, const std::string& key, const std::string& utcTime);

// Visits newer than the remembered time; 0 when the file does not read.
int newVisitCount(CGlobalData& global, const VisitsSource& source);

struct VisitsSummary {
    std::vector<DeviceVisit> taken;    // stored as visits of their caches
    std::vector<DeviceVisit> unplaced; // of caches not in the database
    int readBefore = 0;                // older than the remembered time, or already stored
    int unattempted = 0;               // caches only looked at on the unit
    int failed = 0;                    // the database did not take them
    std::string error;                 // the file did not read: nothing was taken
};

// Takes the visits of a source as if each were saved on the visit screen,
// oldest first: a find sets the found date (in local time), a later visit
// of another type keeps it, and the newest visit gives the note its type
// and time. The visit screen keeps one note per cache and opens it with the
// text already there, so the texts join, each on a line of its own; a text
// the note already holds is not added again. A visit of the same minute and
// type as a cache's note is that note: reading a file twice takes nothing
// twice, even when the remembered time is gone. Runs on the calling thread.
VisitsSummary importVisits(CGlobalData& global, const VisitsSource& source, JobProgress* progress);

// The completion text: how many were taken and read before, and the codes
// of those that could not be placed.
std::string visitsCompletionText(const CGlobalData& global, const VisitsSummary& summary);
// One line per taken and per unplaced visit: "taken: GC1A2B3, Found it, <local time>".
std::vector<std::string> visitsListing(const CGlobalData& global, const VisitsSummary& summary);
// The counter captions of the progress: taken, read before, not in the database.
std::vector<std::string> visitsCounterNames(const CGlobalData& global);

} // namespace tw

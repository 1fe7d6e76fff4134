// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/GpsDevices.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace tw {

class CGlobalData;
class JobProgress;

// The file of ours on a unit; each send replaces it, and nothing else there.
inline constexpr const char* kDeviceGpxName = "Tarnwick.gpx";

struct SendSummary {
    bool written = false;     // the new file is in place
    bool full = false;        // refused or failed for want of room; the old file stays
    bool cancelled = false;   // nothing was replaced
    int caches = 0;
    int waypoints = 0;        // additional waypoints
    std::uintmax_t bytes = 0; // of the file written
    std::string file;         // where it went
    std::string message;      // what the user reads: how it went
};

// Writes the caches of the current filter (every one, whatever MaxRows
// says), their additional waypoints and their newest logs (Settings::sendLogs)
// as one GPX file into the unit's Garmin/GPX/ folder: a temporary file beside
// it, synced, renamed over the old file, and the folder synced, so that the
// unit holds the old file or the whole new one whenever the cable comes out.
// Refused before a byte is written when the estimated size does not fit; a
// write that fails (ENOSPC) removes the temporary file and keeps the old one.
// A cancelled send keeps the old file too. Runs on the calling thread.
SendSummary sendToDevice(CGlobalData& global, const gpsdevice::Device& device, JobProgress* progress,
                         const std::atomic<bool>* cancel);

// Bytes a cache takes in the file, roughly, before its texts are read: what
// the estimate adds per cache to the texts of the list.
inline constexpr std::uintmax_t kSendBytesPerCache = 2500;

// "3.2 MB", or "640 kB" below a megabyte (decimal, as units and file managers count).
std::string megabytesText(std::uintmax_t bytes);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gps/ExportNames.h"
#include "gps/TrackPoint.h"

#include <filesystem>
#include <string>
#include <vector>

namespace tw {

class CTrackLogger;

// The settings TrackFile, TrackGPX, TrackKML, TrackPLT and DelTrack.
struct TrackExportOptions {
    std::filesystem::path folder;
    bool gpx = false;
    bool kml = false;
    bool plt = false;
    bool deleteAfter = false;
};

struct TrackExportResult {
    std::vector<std::filesystem::path> written;
    bool complete = false; // every chosen format was written in full
    bool deleted = false;
};

// The file name without extension: the track's name, or "track_" and its
// start (YYYYMMDD_HHMMSS, local); anything but ASCII letters and digits
// becomes '_' (one per character, also for a multi-byte one).
std::string exportBaseName(const std::string& name, int startDate, int startTime);

// One track in every chosen format. Each file is written under a temporary
// name and renamed into place when complete. The track is deleted only when
// asked and every chosen format was written completely. A file of an earlier
// export with the same name is replaced; with names, a name that this export
// already wrote gets a number instead.
TrackExportResult exportTrack(CTrackLogger& logger, int trackId, const TrackExportOptions& options,
                              ExportNames* names = nullptr);
// The tracks in the order given, as one export.
std::vector<TrackExportResult> exportTracks(CTrackLogger& logger, const std::vector<int>& trackIds,
                                            const TrackExportOptions& options);
// Every stored track as one export; true when every export was complete.
// Tracks that hold no point but their start marker are left out.
bool exportAllTracks(CTrackLogger& logger, const TrackExportOptions& options);

// The file contents. GPX and KML are UTF-16LE with a byte-order mark, PLT is
// 8-bit text with CR LF.
std::string trackGpx(const std::vector<TrackPoint>& points);
std::string trackKml(const std::vector<TrackPoint>& points);
std::string trackPlt(const std::vector<TrackPoint>& points);

} // namespace tw

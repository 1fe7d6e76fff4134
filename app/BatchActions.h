// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;

// The batch word "png": a picture of the map view centred at a position.
struct MapPictureRequest {
    double latDeg = 0;
    double lonDeg = 0;
    int zoom = 0;
    int width = 0;     // pixels, 16..8192
    int height = 0;
    std::string file;  // the PNG file written
    std::string source; // a source's name as the Map menu shows it; empty: the current one
};

// The words after "png" read: the position in the user's coordinate format
// or in plain decimal degrees (two words), a whole zoom, the size as
// WIDTHxHEIGHT of 16 to 8192 pixels each, and the file; nothing when one
// does not read. Whether the zoom suits the source is for the drawing to say.
std::optional<MapPictureRequest> readPictureRequest(const std::vector<std::string>& words);

// The work behind the batch words. Each returns true on success; an empty
// function means that this build cannot do the work yet.
struct BatchActions {
    std::function<bool(CGlobalData&)> exportAllTracks;
    std::function<bool(CGlobalData&)> deleteAllTracks;
    std::function<bool(CGlobalData&, std::time_t since)> exportFieldNotes;
    std::function<bool(CGlobalData&, const std::string& file)> importGpx;
    std::function<bool(CGlobalData&, const std::string& file)> exportGpx;
    std::function<bool(CGlobalData&, const std::vector<std::string>& codes)> liveDownload;
    std::function<bool(CGlobalData&, double lat, double lon)> liveNearest;
    std::function<bool(CGlobalData&)> liveRefresh;
    // place: a unit's folder or a visits file; empty: the first unit found.
    std::function<bool(CGlobalData&, const std::string& place)> readVisits;
    std::function<bool(CGlobalData&, const std::string& query)> find;
    std::function<bool(CGlobalData&, const std::string& folder)> sendToDevice;
    // Drawn with the window's painting, so supplied by the window layer.
    std::function<bool(CGlobalData&, const MapPictureRequest&)> mapPicture;
    // The printed sheets: which is a cache code or "all"; painted as well.
    std::function<bool(CGlobalData&, const std::string& which, const std::string& file)> cacheSheets;
};

} // namespace tw

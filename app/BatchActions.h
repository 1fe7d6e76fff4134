// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;

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
    std::function<bool(CGlobalData&, const std::string& query)> find;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace tw {

class IniFile;

// Which caches the list and the map show, and from which point distances are
// measured. One exists in the running program; the filter screens change it
// and save it into the settings file (section "Filter").
class CacheFilter {
public:
    // The ten cache-type selections, in this order.
    enum TypeSlot { Traditional, Multi, Unknown, Earthcache, Wherigo, Webcam, Letterbox, Event, Virtual, AnyOther };
    static constexpr int kCacheTypeSlots = 10;
    static constexpr int kWaypointTypeSlots = 6;

    std::string code;        // code pattern after "GC", '*' as wildcard; when set, nothing else counts
    std::string name;        // part of the cache name
    std::string owner;       // part of the owner's name
    double distanceKm = 0.0; // from the reference point; 0 = no limit
    int owned = 0;           // 0 not the user's, 1 the user's, other: either
    int found = 0;           // 0 not found, 1 found, other: either
    int active = 0;          // status wanted: available
    int disabled = 0;        //                disabled
    int archived = 0;        //                archived
    int mustHaveFinal = 0;   // only caches whose final location is known
    std::array<int, kCacheTypeSlots> cacheTypes{1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    std::array<int, kWaypointTypeSlots> wptTypes{1, 1, 1, 1, 1, 1}; // by waypoint type number
    int refPoint = 0;        // 0 GPS, 1 map centre, 2 manual point, other: home
    double manLat = 0.0;     // manual reference point, degrees
    double manLon = 0.0;
    int useTag = 0;          // 0 no tag condition, 1 only with the tag, 2 only without it
    std::string tagCategory; // by name
    std::string tagValue;    // by name; empty: any value of the category
    // Words to find in the caches' texts (db/FullText.h: fulltext::MatchExpression),
    // and where (TextField bits, 0 everywhere). Empty: no text condition.
    std::string textQuery;
    unsigned textFields = 0;
    std::string fileName = "default"; // the saved filter last used; not in the settings

    // The settings section: every value written / read, absent ones keeping
    // the current field (the tag condition and the text query read as none
    // when absent: filters saved before them had none).
    void Save(IniFile& settings) const;
    void Load(const IniFile& settings);

    // Named filter files in `folder` (the folder "filter" below the map
    // folder): "<name>.pf". Saving creates the folder; false when the folder
    // or the file cannot be written. Loading an unreadable file changes
    // nothing and returns false.
    bool SaveToFile(const std::filesystem::path& folder, const std::string& fileBaseName) const;
    bool LoadFromFile(const std::filesystem::path& folder, const std::string& fileBaseName);

    bool operator==(const CacheFilter&) const = default;
};

inline constexpr const char* kFilterSection = "Filter";

// A filter name as a file name: every character but ASCII letters and digits
// becomes "_" ("my filter #2" gives "my_filter__2").
std::string sanitizeFilterName(const std::string& name);
// Names of the saved filters in the folder, without ".pf", sorted.
std::vector<std::string> listFilterFiles(const std::filesystem::path& folder);
bool deleteFilterFile(const std::filesystem::path& folder, const std::string& fileBaseName);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tw {
class Prompter;
}

namespace tw::maps {

/** One kind of map of a source: a basic map or an overlay drawn above it. */
struct MapType {
    std::string mode;       // "basic" or "overlay"
    std::string name;       // shown in the settings and menus
    std::string file;       // folder name of the tiles, or base name of their database
    bool invertY = false;   // the server counts rows from the south
    std::string url;        // template with {x}, {y} and {z}
    int defaultZoom = 12;
    int minZoom = 1;
    int maxZoom = 13;
    int maxAvailZoom = 0;   // highest zoom the server has tiles for
};

/** A map source as a configuration file describes it. */
struct MapSource {
    std::string type;          // "Google" (square Web Mercator tiles) or "MapyCz"
    std::string name;
    std::string file;          // database base name of the "MapyCz" kind
    std::string storage;       // "database", "mbtiles"; anything else: a folder tree
    std::string requestHeader; // one extra header line sent with every tile request
    // False when the server's usage policy forbids fetching whole areas ahead
    // (`<bulkDownload>no</bulkDownload>`): the map then fetches only what the
    // view shows and offers no area download.
    bool bulkDownload = true;
    std::vector<MapType> basic;   // at most 3
    std::vector<MapType> overlay; // at most 3
    // A vector map (storage "mapsforge"): the map files drawn as one map and
    // the theme to draw them with, plain names in the map folder. An empty
    // theme: the one beside the map files, if any.
    std::vector<std::string> mapFiles;
    std::string theme;
};

/** The storage of a vector map: its tiles are drawn, not stored. */
inline constexpr const char* kVectorStorage = "mapsforge";
inline bool isVectorSource(const MapSource& source) { return source.storage == kVectorStorage; }

inline constexpr int kMaxMapTypesPerMode = 3;
/** Map type indices 0..2 are the basic map types, 3..5 the overlays. */
inline constexpr int kFirstOverlayIndex = 3;

/** Sources by index, in the order their elements ended across all files. */
using MapSources = std::map<int, MapSource>;

/** Basic map type `index` for 0..2, overlay `index - 3` for 3..5; null when
 *  the source has no map type there. */
const MapType* getMapType(const MapSource& source, int index);

/** The source at `index`; null when no loaded source has it. */
const MapSource* findSource(const MapSources& sources, int index);

/** Reads one configuration file and appends its sources. A missing or
 *  unreadable file adds nothing. */
void readMapConfig(const std::filesystem::path& path, MapSources& sources);

/** The installation folder's file for the language (or the plain one), then
 *  every "*map-config.xml" of the map folder, then a vector source for each
 *  "*.map" file of the map folder that no loaded source names, called after
 *  the file ("pankow.map": "pankow"). */
void loadMapConfigs(const std::filesystem::path& installDir, const std::string& language,
                    const std::filesystem::path& mapFolder, MapSources& sources);

/** Appends a vector source for each "*.map" file of the folder that no
 *  source of sources names, sorted by file name. */
void addFoundMapFiles(const std::filesystem::path& mapFolder, MapSources& sources);

/** The map type settings as the map view uses them. */
struct MapTypeChoice {
    int mapType = 0;  // basic map type shown
    int overlay1 = 0; // overlays 3, 4, 5 on or off
    int overlay2 = 0;
    int overlay3 = 0;
};

/** Brings the choice in line with the source: a basic map type the source
 *  lacks becomes 0, an overlay switch for a missing overlay is switched off.
 *  Returns true when anything changed. */
bool fitChoiceToSource(const MapSource& source, MapTypeChoice& choice);

/** The shown text when a source cannot be drawn (unknown type, no source). */
inline constexpr const char* kInvalidMapConfig = "Invalid map configuration";

/** A configuration value used as a file or folder name: one plain path
 *  component, so that nothing is ever written outside the map folder. */
bool isSafeFileName(const std::string& name);

} // namespace tw::maps

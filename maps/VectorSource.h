// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "maps/MapConfig.h"
#include "maps/TileProvider.h"
#include "maps/TileRenderer.h"
#include "maps/mapsforge/MapFileTypes.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tw::maps {

/** Vector maps are drawn up to the deepest zoom Web Mercator world
 *  coordinates hold. */
inline constexpr int kMaxVectorZoom = 21;
/** The zoom a vector map opens at when its files name none. */
inline constexpr int kDefaultVectorZoom = 14;

/** The map files of a vector source in the map folder, in the source's
 *  order; names that are no plain file name are left out. */
std::vector<std::filesystem::path> vectorMapFiles(const MapSource& source, const std::filesystem::path& mapFolder);

/** The theme beside a vector source's map files: the source's own theme
 *  file; else "<base>.xml" with the base name of its first map file; else
 *  the only "*.xml" file of the map folder that is no map configuration.
 *  Empty when none is there, or when several could be meant. */
std::filesystem::path themeBeside(const MapSource& source, const std::filesystem::path& mapFolder);

/** What the headers of a vector source's map files say about the view. */
struct VectorMapExtent {
    int minZoom = 0;                  // the lowest zoom any file draws
    int maxZoom = kMaxVectorZoom;
    std::optional<geo::LatLon> start; // the first readable file's start position, else its centre
    std::optional<int> startZoom;
    std::vector<MicroBox> bounds;     // of each file that opened

    /** Whether a file's bounds hold the position. */
    bool contains(geo::LatLon position) const;
};
/** Reads the files' headers; files that do not open are left out. */
VectorMapExtent readVectorExtent(const std::vector<std::filesystem::path>& mapFiles);

/** The source as a provider draws it: one basic map type called after the
 *  source, with the zoom limits of its files and nothing to download. When
 *  the options' centre lies outside every map file, the files' start
 *  position takes its place, and the start zoom becomes the default zoom. */
MapSource vectorSourceView(const MapSource& source, TileProvider::Options& options);

/** What the renderer of a vector source draws from: its map files and the
 *  theme of the options (a path; empty: the theme beside the map files, else
 *  the one the program ships). Style, language and scale are the caller's. */
VectorMapSettings vectorMapSettings(const MapSource& source, const std::filesystem::path& mapFolder,
                                    const std::filesystem::path& optionsTheme);

} // namespace tw::maps

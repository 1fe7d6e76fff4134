// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/VectorSource.h"

#include "maps/mapsforge/MapFile.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace tw::maps {
namespace {

constexpr double kMicro = 1e-6;

geo::LatLon latLonOf(const MicroPoint& p)
{
    return {p.latE6 * kMicro, p.lonE6 * kMicro};
}

} // namespace

std::vector<fs::path> vectorMapFiles(const MapSource& source, const fs::path& mapFolder)
{
    std::vector<fs::path> files;
    for (const std::string& name : source.mapFiles)
        if (isSafeFileName(name))
            files.push_back(mapFolder / name);
    return files;
}

fs::path themeBeside(const MapSource& source, const fs::path& mapFolder)
{
    std::error_code ec;
    if (!source.theme.empty()) {
        if (!isSafeFileName(source.theme))
            return {};
        const fs::path own = mapFolder / source.theme;
        return fs::is_regular_file(own, ec) ? own : fs::path();
    }
    if (!source.mapFiles.empty() && isSafeFileName(source.mapFiles.front())) {
        const fs::path same = mapFolder / fs::path(source.mapFiles.front()).replace_extension(".xml");
        if (fs::is_regular_file(same, ec))
            return same;
    }
    fs::path only;
    for (fs::directory_iterator it(mapFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        std::error_code fileEc;
        if (path.extension() != ".xml" || path.filename().string().ends_with("map-config.xml")
            || !it->is_regular_file(fileEc))
            continue;
        if (!only.empty())
            return {}; // which one would be a guess
        only = path;
    }
    return only;
}

bool VectorMapExtent::contains(geo::LatLon position) const
{
    const double lat = position.lat / kMicro, lon = position.lon / kMicro;
    return std::any_of(bounds.begin(), bounds.end(), [&](const MicroBox& b) {
        return lat >= b.minLatE6 && lat <= b.maxLatE6 && lon >= b.minLonE6 && lon <= b.maxLonE6;
    });
}

VectorMapExtent readVectorExtent(const std::vector<fs::path>& mapFiles)
{
    VectorMapExtent extent;
    std::optional<int> lowest;
    for (const fs::path& path : mapFiles) {
        MapFile file;
        if (!file.open(path))
            continue;
        const MapFileHeader& header = file.header();
        extent.bounds.push_back(header.bounds);
        for (const ZoomInterval& interval : header.intervals)
            lowest = std::min(lowest.value_or(interval.minZoom), interval.minZoom);
        if (!extent.start) {
            const MicroBox& b = header.bounds;
            extent.start = header.startPosition ? latLonOf(*header.startPosition)
                                                : geo::LatLon{(b.minLatE6 * kMicro + b.maxLatE6 * kMicro) / 2,
                                                              (b.minLonE6 * kMicro + b.maxLonE6 * kMicro) / 2};
            extent.startZoom = header.startZoom;
        }
    }
    extent.minZoom = std::clamp(lowest.value_or(0), 0, kMaxVectorZoom);
    return extent;
}

MapSource vectorSourceView(const MapSource& source, TileProvider::Options& options)
{
    const VectorMapExtent extent = readVectorExtent(vectorMapFiles(source, options.mapFolder));
    MapSource view = source;
    view.type = "Google";
    view.bulkDownload = false;
    view.overlay.clear();
    view.basic.clear();
    MapType type;
    type.mode = "basic";
    type.name = source.name;
    type.minZoom = extent.minZoom;
    type.maxZoom = extent.maxZoom;
    type.maxAvailZoom = 0; // nothing on any server
    type.defaultZoom = std::clamp(extent.startZoom.value_or(kDefaultVectorZoom), extent.minZoom, extent.maxZoom);
    view.basic.push_back(std::move(type));
    if (extent.start && !extent.bounds.empty() && !extent.contains(options.centre))
        options.centre = *extent.start;
    return view;
}

VectorMapSettings vectorMapSettings(const MapSource& source, const fs::path& mapFolder, const fs::path& optionsTheme)
{
    VectorMapSettings settings;
    settings.mapFiles = vectorMapFiles(source, mapFolder);
    settings.themeFile = optionsTheme.empty() ? themeBeside(source, mapFolder) : optionsTheme;
    return settings;
}

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/mapsforge/MapFileSet.h"

#include <algorithm>
#include <iterator>

namespace tw::maps {

bool MapFileSet::add(const std::filesystem::path& path)
{
    MapFile file;
    if (!file.open(path)) {
        m_error = file.error();
        m_detail = path.filename().string() + ": " + file.errorDetail();
        return false;
    }
    m_files.push_back(std::move(file));
    m_error = MapFileError::None;
    m_detail.clear();
    return true;
}

bool MapFileSet::covers(const MapTileId& tile) const
{
    return std::any_of(m_files.begin(), m_files.end(), [&](const MapFile& f) { return f.covers(tile); });
}

bool MapFileSet::readTile(const MapTileId& tile, std::string_view language, MapTile& out)
{
    out.clear();
    m_error = MapFileError::None;
    m_detail.clear();
    bool anyCovers = false;
    bool allWater = true;
    for (MapFile& file : m_files) {
        if (!file.covers(tile))
            continue;
        if (!file.readTile(tile, language, m_part)) {
            if (m_error == MapFileError::None) {
                m_error = file.error();
                m_detail = file.path().filename().string() + ": " + file.errorDetail();
            }
            continue;
        }
        anyCovers = true;
        allWater = allWater && m_part.water;
        std::move(m_part.pois.begin(), m_part.pois.end(), std::back_inserter(out.pois));
        std::move(m_part.ways.begin(), m_part.ways.end(), std::back_inserter(out.ways));
    }
    out.water = anyCovers && allWater;
    return m_error == MapFileError::None;
}

} // namespace tw::maps

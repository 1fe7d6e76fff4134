// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/AreaDownload.h"

#include <algorithm>

namespace tw::maps {

bool requestTile(TileProvider& provider, WorldPoint tile, int m, bool onlyNew, TileDownloader& downloader)
{
    if (!provider.canStoreDownloads() || !provider.mapType(m))
        return false;
    const std::string url = provider.tileUrl(tile, m);
    const std::string& header = provider.source().requestHeader;
    if (provider.storage() == TileStorage::Folder) {
        const auto path = provider.tilePath(tile, m);
        if (path.empty())
            return false;
        std::error_code ec;
        if (onlyNew && std::filesystem::exists(path, ec))
            return false;
        downloader.enqueueFile(url, path, header, kMaxTileBytes);
        return true;
    }
    // A database that cannot be opened takes no downloads.
    if (!provider.database(m))
        return false;
    if (onlyNew && provider.readTileBlob(tile, m))
        return false;
    downloader.enqueueTile(url, provider.databaseKey(tile, m), provider.databasePath(m), header);
    return true;
}

std::vector<int> offeredZooms(const MapType& type)
{
    std::vector<int> zooms;
    const int first = std::max(type.minZoom, type.maxAvailZoom - 6);
    for (int z = first; z <= type.maxAvailZoom && zooms.size() < 7; ++z)
        zooms.push_back(z);
    return zooms;
}

void addAreaTiles(TileProvider& provider, geo::LatLon position, int zoom, int mapArea)
{
    const int saved = provider.zoom();
    provider.setZoom(zoom);
    const int r = std::clamp(mapArea, 1, 3);
    const WorldPoint centre = provider.latLonToWorld(position.lat, position.lon);
    for (int dx = -r; dx <= r; ++dx)
        for (int dy = -r; dy <= r; ++dy) {
            const WorldPoint tile = provider.offsetByTiles(centre, dx, dy);
            provider.areaTiles.emplace(provider.zoom(), provider.tileLeft(tile), provider.tileTop(tile));
        }
    provider.setZoom(saved);
}

void addRectTiles(TileProvider& provider, geo::LatLon northWest, geo::LatLon southEast, int zoom)
{
    const int saved = provider.zoom();
    provider.setZoom(zoom);
    const WorldPoint a = provider.latLonToWorld(northWest.lat, northWest.lon);
    const WorldPoint b = provider.latLonToWorld(southEast.lat, southEast.lon);
    // Columns grow eastward in both kinds; rows grow southward in one and
    // northward in the other, so the steps are counted from the corner tiles.
    const WorldPoint first = {provider.tileLeft(a), provider.tileTop(a)};
    const WorldPoint last = {provider.tileLeft(b), provider.tileTop(b)};
    const WorldPoint stepX = provider.offsetByTiles(first, 1, 0);
    const WorldPoint stepY = provider.offsetByTiles(first, 0, -1);
    const std::int64_t dx = std::int64_t(stepX.x) - first.x;
    const std::int64_t dy = std::int64_t(stepY.y) - first.y;
    if (dx == 0 || dy == 0) {
        provider.setZoom(saved);
        return;
    }
    const std::int64_t columns = (std::int64_t(last.x) - first.x) / dx;
    const std::int64_t rows = (std::int64_t(last.y) - first.y) / dy;
    for (std::int64_t i = 0; i <= std::max<std::int64_t>(columns, 0); ++i)
        for (std::int64_t j = 0; j <= std::max<std::int64_t>(rows, 0); ++j) {
            const WorldPoint tile = provider.offsetByTiles(first, static_cast<int>(i), -static_cast<int>(j));
            provider.areaTiles.emplace(zoom, provider.tileLeft(tile), provider.tileTop(tile));
        }
    provider.setZoom(saved);
}

int areaDownloadCount(const TileProvider& provider, int overlaysOn)
{
    return static_cast<int>(provider.areaTiles.size()) * (1 + overlaysOn);
}

int startAreaDownload(TileProvider& provider, int mapType, const bool overlays[3], bool onlyNew,
                      TileDownloader& downloader)
{
    const int saved = provider.zoom();
    int requested = 0;
    for (const auto& [zoom, left, top] : provider.areaTiles) {
        provider.setZoom(zoom);
        const WorldPoint tile{left, top};
        requested += requestTile(provider, tile, mapType, onlyNew, downloader) ? 1 : 0;
        for (int i = 0; i < 3; ++i)
            if (overlays[i])
                requested += requestTile(provider, tile, kFirstOverlayIndex + i, onlyNew, downloader) ? 1 : 0;
    }
    provider.setZoom(saved);
    return requested;
}

} // namespace tw::maps

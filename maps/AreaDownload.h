// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "maps/TileDownloader.h"
#include "maps/TileProvider.h"

#include <vector>

namespace tw::maps {

/** Asks for one tile of map type m at the provider's zoom. With onlyNew a
 *  tile already stored is not asked for again. Returns true when it was
 *  handed to the downloader. */
bool requestTile(TileProvider& provider, WorldPoint tile, int m, bool onlyNew, TileDownloader& downloader);

/** The zoom levels the map download offers for a map type: up to seven,
 *  ending at maxAvailZoom and starting no lower than minZoom. */
std::vector<int> offeredZooms(const MapType& type);

/** Adds the (2·mapArea + 1)² tiles around a position at zoom to the
 *  provider's area tiles; mapArea is 1, 2 or 3. The provider's zoom is kept. */
void addAreaTiles(TileProvider& provider, geo::LatLon position, int zoom, int mapArea);

/** Adds every tile at zoom that meets the rectangle between the two
 *  corners (north-west and south-east, degrees) to the provider's area
 *  tiles. The provider's zoom is kept. */
void addRectTiles(TileProvider& provider, geo::LatLon northWest, geo::LatLon southEast, int zoom);

/** The count the map download shows: area tiles times the map types fetched. */
int areaDownloadCount(const TileProvider& provider, int overlaysOn);

/** Requests every area tile for the basic map type and each overlay that is
 *  on (overlays[i] for map type index 3 + i); the zoom is restored after.
 *  Returns the number of requests handed over. */
int startAreaDownload(TileProvider& provider, int mapType, const bool overlays[3], bool onlyNew,
                      TileDownloader& downloader);

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "maps/ImageDecoder.h"
#include "maps/MapCanvas.h"
#include "maps/TileRenderer.h"
#include "maps/TileDownloader.h"
#include "maps/TileProvider.h"

#include <map>
#include <set>
#include <optional>
#include <tuple>
#include <vector>

namespace tw::maps {

/** What the map settings say about a composition. */
struct ComposeOptions {
    int mapType = 0;                       // basic map type shown
    bool overlays[3] = {false, false, false}; // map types 3, 4, 5
    bool extPaint = true;                  // fill gaps of map types 2 and 1 from the next lower one
    std::uint32_t background = 0xFFFFFF;
};

inline constexpr std::uint32_t kMissingTileGrey = 0xBFBFBF;
/** A track or route is drawn up to this many points. */
inline constexpr std::size_t kMaxPolylinePoints = 501;
/** Lower zoom levels tried for a missing tile. */
inline constexpr int kAncestorLevels = 4;

/** Composes the tile layer of the map: which tiles to draw for a view, what
 *  stands in for a missing one, and which are asked for from the download.
 *  One composer belongs to one provider; it keeps decoded tiles so that a
 *  view drawn again does not decode them again. Window thread only. */
class MapComposer {
public:
    MapComposer(TileProvider& provider, ImageDecoder& decoder, TileDownloader* downloader = nullptr);

    /** Fills the canvas and draws the 5 × 5 tiles around the centre tile,
     *  the basic map type first, then the overlays that are on. Returns the
     *  tile origin: where the centre tile's top-left corner lies. With
     *  areas given, only tiles that meet one of them are drawn (the caller
     *  clips the canvas to them): the rest of the canvas is already right. */
    PixelPoint composeTiles(MapCanvas& canvas, const ComposeOptions& options, const std::vector<Rect>& areas = {});
    /** Where the centre tile's top-left corner lies in a view of this size. */
    PixelPoint tileOrigin(int width, int height);
    /** The screen square of the 5 × 5 tiles around the centre tile. */
    static Rect tileGridRect(PixelPoint origin);

    /** Draws the tile of point for map type m into the 256 × 256 square,
     *  with the fallbacks for a missing tile. True when anything was drawn. */
    bool drawTile(MapCanvas& canvas, const Rect& square, int m, WorldPoint point, const ComposeOptions& options);

    /** Zoom steps of the view: they remember the zoom before the step. */
    void zoomIn();
    void zoomOut();

    /** A tile was asked for during the last composition: from the download,
     *  or from the renderer, which has queued it. */
    bool downloadsPending() const { return m_downloadsPending; }
    /** Squares of the basic map the last composition drew map into (a tile
     *  of its own or of another zoom): none means the place has no map. */
    int tilesShown() const { return m_tilesShown; }
    int lastZoom() const { return m_lastZoom; }
    bool lastZoomHadTiles() const { return m_lastZoomHadTiles; }

    /** Forgets decoded tiles (after downloads have replaced stored ones). */
    void dropDecodedTiles() { m_decoded.clear(); }
    std::size_t decodedTiles() const { return m_decoded.size(); }

    /** Shades the basic map with the relief these heights give, from zoom
     *  kMinShadedZoom on; null: no shading. Not owned. */
    void setElevation(ElevationFiles* heights);

    /** The tiles of a vector source come from this renderer instead of the
     *  store (not owned; null: the store again). A tile not drawn yet shows
     *  a tile of another zoom the composer holds, else the map's
     *  background; one outside the map files the outside colour. With
     *  drawNow every tile is drawn on the calling thread, none is left
     *  queued. After the renderer's style changed, drop the decoded tiles. */
    void setRenderer(TileRenderer* renderer, bool drawNow = false);

private:
    /** The decoded tile, or null. damaged (when given) tells whether a stored
     *  copy exists that does not decode. */
    std::shared_ptr<const TileImage> loadTile(WorldPoint point, int m, bool* damaged = nullptr);
    /** Fetches a damaged tile of the view again, once per run. */
    bool refetchDamaged(WorldPoint point, int m);
    bool drawFromOtherZooms(MapCanvas& canvas, const Rect& square, int m, WorldPoint point);
    bool drawRenderedTile(MapCanvas& canvas, const Rect& square, WorldPoint point);
    void keepDecoded(const std::tuple<int, int, std::int32_t, std::int32_t>& key,
                     std::shared_ptr<const TileImage> image);
    void drawCrosses(MapCanvas& canvas, const Rect& square);
    void drawShade(MapCanvas& canvas, const Rect& square, WorldPoint tile);

    TileProvider& m_provider;
    ImageDecoder& m_decoder;
    TileDownloader* m_downloader;
    bool m_downloadsPending = false;
    int m_lastZoom = -1;
    bool m_lastZoomHadTiles = false;
    bool m_drewBasicAtZoom = false;
    // (map type, zoom, tile left, tile top) → image
    std::map<std::tuple<int, int, std::int32_t, std::int32_t>, std::shared_ptr<const TileImage>> m_decoded;
    // Of a renderer's tiles only those of this view and the one before are
    // kept (the renderer keeps its own): the squares of the view and the
    // tiles of other zooms that stood in. Drawn tiles are large, and many
    // views' worth would hold the memory the renderer's cache limits.
    std::set<std::tuple<int, int, std::int32_t, std::int32_t>> m_usedNow;
    std::set<std::tuple<int, int, std::int32_t, std::int32_t>> m_usedBefore;
    ElevationFiles* m_heights = nullptr;
    TileRenderer* m_renderer = nullptr;
    bool m_drawNow = false;
    int m_tilesShown = 0;
    std::vector<std::tuple<int, std::int64_t, std::int64_t>> m_viewTiles; // asked of the renderer
    // (zoom, tile left, tile top) → shading, null where no height is known
    std::map<std::tuple<int, std::int32_t, std::int32_t>, std::shared_ptr<const ShadeTile>> m_shades;
};

/** Where a position lies on the screen, given the tile origin; nothing when
 *  outside the client area. */
std::optional<PixelPoint> screenPosition(TileProvider& provider, geo::LatLon position, PixelPoint origin,
                                         int clientWidth, int clientHeight);

/** The icon square of a cache or waypoint at a screen position: 20 × 20
 *  (40 × 40 on high-resolution screens) centred on it, lifted by 14 (28)
 *  pixels so that its foot marks the position. */
Rect recordIconRect(PixelPoint at, bool highResolution);

/** The screen points of a track or route, at most the first 501. */
std::vector<PixelPoint> polylinePixels(TileProvider& provider, const std::vector<geo::LatLon>& points,
                                       PixelPoint origin);

/** Moving map: the view jumps when the live position lies more than a
 *  quarter of the client width or height from the centre. */
bool movingMapJumps(PixelPoint live, PixelPoint centre, int clientWidth, int clientHeight);

} // namespace tw::maps

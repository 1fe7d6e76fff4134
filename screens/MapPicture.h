// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/BatchActions.h"
#include "geo/LatLon.h"
#include "maps/MapComposer.h"
#include "maps/TileRenderer.h"

#include <QImage>
#include <QPalette>
#include <QPointF>
#include <QSize>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;
class Prompter;
namespace maps {
class ImageDecoder;
struct MapSource;
struct MapTypeChoice;
class TileProvider;
} // namespace maps
class MapTileBuffer;

// What the renderer of a vector source draws from: its map files, the theme
// of the options (else the one beside the maps, else the built-in), the
// style and overlays remembered for that theme, the program's language.
maps::VectorMapSettings vectorMapSettingsOf(const CGlobalData& global, const maps::MapSource& source,
                                            float displayScale);

// How the map screen composes its tiles: the chosen map type and overlays,
// the external paint switch, the window's background behind missing tiles.
maps::ComposeOptions composeOptionsOf(const maps::MapTypeChoice& choice, bool extPaint, const QPalette& palette);

// The remembered overlay switches, "id=1,id=0".
std::map<std::string, bool> readOverlaySwitches(const std::string& text);
std::string writeOverlaySwitches(const std::map<std::string, bool>& switches);

// The tiles of a map source around places, drawn without a window: for the
// batch word png and the printed cache sheets. The source is opened once;
// each picture moves it. Vector sources are drawn with the global's
// renderers. Reports nothing itself: error() says why there is no map.
class MapSnapshot {
public:
    // source: a name as the Map menu shows it; empty: the current one.
    // prompter hears about a map configuration that cannot be read; near
    // is where the pictures will be (a vector source opens the map file
    // that holds it).
    MapSnapshot(CGlobalData& global, const std::string& source, Prompter& prompter, geo::LatLon near);
    ~MapSnapshot();

    bool ok() const { return m_provider != nullptr && m_error.empty(); }
    // The source was found and opened (a vector one may still lack its renderer).
    bool opened() const { return m_provider != nullptr; }
    // Why the source cannot be drawn; empty when it can.
    const std::string& error() const { return m_error; }
    const maps::MapSource* source() const { return m_source; }
    int minZoom() const;
    int maxZoom() const;

    // The tiles of width x height pixels centred there; false when no tile
    // at all is there (the image is then not worth showing).
    bool compose(geo::LatLon centre, int zoom, QSize size);
    const QImage& image() const;
    // Where a position lies on the last picture, inside it or not.
    QPointF pixelOf(geo::LatLon at) const;
    // The highest zoom, at most maxZoom, at which every point lies at least
    // marginPx inside a picture of that size centred there; the lowest zoom
    // of the source when none does.
    int zoomToFit(geo::LatLon centre, const std::vector<geo::LatLon>& points, QSize size, int marginPx, int maxZoom);

    maps::TileProvider& provider() const { return *m_provider; }
    MapTileBuffer& tiles() const { return *m_tiles; }
    // The map type and overlays of the options, as composed.
    const maps::ComposeOptions& composeOptions() const { return m_compose; }

private:
    CGlobalData& m_global;
    const maps::MapSource* m_source = nullptr;
    std::string m_error;
    std::unique_ptr<maps::ImageDecoder> m_decoder;
    std::unique_ptr<maps::TileProvider> m_provider;
    std::unique_ptr<maps::MapComposer> m_composer;
    std::unique_ptr<maps::TileRenderer> m_renderer;
    std::unique_ptr<MapTileBuffer> m_tiles;
    maps::ComposeOptions m_compose;
};

// The batch word "png": the map view centred at the position as the map
// screen composes it (tiles, the listed caches with their waypoints, the
// loaded route) written as a PNG file. Vector sources are drawn with the
// global's renderers, every tile at once. False with the reason on err when
// the source is unknown, the zoom outside its limits, nothing is at that
// place, or the file cannot be written.
bool drawMapPicture(CGlobalData& global, const MapPictureRequest& request, std::FILE* err);

} // namespace tw

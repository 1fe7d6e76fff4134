// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/MapComposer.h"
#include "screens/Theme.h"

#include <QImage>
#include <QPoint>
#include <QSize>

namespace tw {

// The tiles of the view, composed by the map composer into a picture the
// size of the screen. When the view pans, the kept picture moves along and
// only what it does not cover is composed: the uncovered edges and where the
// 5 × 5 tiles around the centre tile gained or lost a tile. Two buffers take
// turns, so a move copies once. The picture is kept while zoom, map types
// and size stay.
class MapTileBuffer {
public:
    MapTileBuffer(maps::TileProvider& provider, maps::MapComposer& composer)
        : m_provider(provider), m_composer(composer) {}

    // Composes the view's tiles. True when the kept picture was only moved
    // (or was still right), false when everything was composed afresh.
    bool compose(const QSize& size, const maps::ComposeOptions& options);
    // Composes everything afresh next time.
    void drop() { m_kept = false; }
    // The theme's look of the tiles; applied to what is composed from now
    // on, so a change of theme composes everything afresh.
    void setLook(Theme theme);
    const TileLook& look() const { return m_look; }

    const QImage& image() const { return m_tiles; }
    // Top-left of the centre tile on the screen, at the last composition.
    maps::PixelPoint origin() const { return m_origin; }
    // The view's centre at the last composition.
    maps::WorldPoint viewCentre() const { return m_viewCentre; }
    // Tiles of the picture are being downloaded.
    bool pending() const { return m_pending; }

private:
    void composeAfresh(const QSize& size, const maps::ComposeOptions& options);
    void composeMoved(const QSize& size, const maps::ComposeOptions& options, QPoint by, maps::PixelPoint origin);

    maps::TileProvider& m_provider;
    maps::MapComposer& m_composer;
    TileLook m_look;
    QImage m_tiles;
    QImage m_back;                  // the other buffer of a move
    bool m_kept = false;
    bool m_pending = false;
    int m_zoom = -1;
    maps::ComposeOptions m_options;
    maps::PixelPoint m_origin;
    maps::WorldPoint m_viewCentre;
    maps::WorldPoint m_corner;      // a tile corner, and where m_tiles shows it
    QPoint m_cornerAt;
};

} // namespace tw

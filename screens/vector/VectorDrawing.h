// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/mapsforge/MapFileTypes.h"
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "screens/vector/VectorLabels.h"
#include "screens/vector/VectorSymbols.h"

#include <QImage>

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <span>
#include <vector>

namespace tw::vector {

/** Reads a tile of the map into out; false when no map file covers it. */
using TileReader = std::function<bool(const maps::MapTileId& id, maps::MapTile& out)>;

/** What drawing tiles needs besides the map: the theme, a matcher for it,
 *  the pictures and fonts read so far, and the labels of the tiles read
 *  lately (a tile's labels compete with its neighbours'). One per drawing
 *  thread; the theme must outlive it. */
class VectorDrawState {
public:
    // Source tiles whose labels are kept for their neighbours.
    static constexpr std::size_t kKeptLabelTiles = 24;

    VectorDrawState(const maps::RenderTheme& drawnTheme, maps::ThemeMatcher& themeMatcher, float scale)
        : theme(drawnTheme), matcher(themeMatcher), displayScale(scale)
    {
    }

    const maps::RenderTheme& theme;
    maps::ThemeMatcher& matcher;
    const float displayScale;
    SymbolCache symbols;
    FontCache fonts;

    /** The label candidates of a source tile, from the ones kept or made now. */
    std::shared_ptr<const std::vector<LabelCandidate>> labelsOf(const maps::MapTileId& id, const maps::MapTile* tile,
                                                                const TileReader& read);
    void forgetLabels() { m_labels.clear(); }

    maps::MapTile scratch; // a neighbour being read, kept for its capacity

private:
    struct Kept {
        int zoom;
        std::int64_t x, y;
        std::shared_ptr<const std::vector<LabelCandidate>> labels;
    };
    std::list<Kept> m_labels; // most recent first
};

/** A drawn tile and the labels drawn on it (world pixels, for tests). */
struct DrawnVectorTile {
    QImage image;
    std::vector<PlacedLabel> labels;
};

/** The side of a drawn tile in device pixels, at every display scale: the
 *  composer lays tiles out in squares of this side, as it does stored ones.
 *  The display scale enlarges what the theme draws (its widths, text and
 *  pictures), not the piece of the world a tile shows. */
inline constexpr int kVectorTileSidePx = 256;

/** Draws one tile: the map's objects in the order of their layer and of the
 *  theme, the sea of a tile the file marks as water, the outside colour
 *  beyond every map file (bounds; empty: the map is everywhere), and the
 *  labels of the tile and its eight neighbours that win their place and meet
 *  the tile. tile is the tile's data when at hand (else it is read). */
DrawnVectorTile renderVectorTile(const maps::MapTileId& id, const TileReader& read, VectorDrawState& state,
                                 std::span<const maps::MicroBox> bounds, const maps::MapTile* tile = nullptr);

/** One tile's data drawn alone (its neighbours' labels left out): for tests
 *  and benches. */
QImage renderVectorTile(const maps::MapTile& tile, maps::ThemeMatcher& matcher, const maps::RenderTheme& theme,
                        int zoom, std::int64_t x, std::int64_t y, float displayScale);

} // namespace tw::vector

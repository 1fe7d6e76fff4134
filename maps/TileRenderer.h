// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileImage.h"
#include "maps/mapsforge/MapFileTypes.h"
#include "maps/theme/RenderTheme.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tw::maps {

/** What a vector map is drawn from and how. */
struct VectorMapSettings {
    std::vector<std::filesystem::path> mapFiles; // drawn as one map, in this order
    std::filesystem::path themeFile;             // empty: the theme the program ships
    std::string style;                           // a style of the theme's menu; empty: its default
    std::map<std::string, bool> overlays;        // the user's overlay switches; others as the theme says
    std::string language;                        // of names and the style menu, two letters ("cs")
    float displayScale = 1.0f;                   // device pixels per theme pixel (the tile stays 256)
};

/** A map file of the settings that could not be opened. */
struct UnreadableMapFile {
    std::filesystem::path path;
    MapFileError error = MapFileError::None;
};

/** Draws tiles that no store holds: the tiles of a vector map, drawn with a
 *  render theme. The composer asks it for every tile of the view, on the
 *  window thread. A tile not drawn yet comes back null and is queued; when
 *  queued tiles are done, the ready callback runs on the window thread, and
 *  the view is composed again. Tiles are slippy-map tiles of 256 × 256
 *  pixels at every display scale, the squares the composer draws them
 *  into: x from the west, y from the north. */
class TileRenderer {
public:
    virtual ~TileRenderer() = default;

    /** The drawn tile, or null when it is not drawn yet (it is then queued)
     *  or the map has nothing there (see covers). */
    virtual std::shared_ptr<const TileImage> tile(int zoom, std::int64_t x, std::int64_t y) = 0;
    /** The same, drawn now on the calling thread when it is not at hand:
     *  for a picture made without a window. */
    virtual std::shared_ptr<const TileImage> drawnTile(int zoom, std::int64_t x, std::int64_t y) = 0;
    /** Whether any map file covers the tile. */
    virtual bool covers(int zoom, std::int64_t x, std::int64_t y) const = 0;
    /** Queued tiles outside these (zoom, x, y) are not drawn any more: the
     *  view has moved on. */
    virtual void keepOnly(const std::vector<std::tuple<int, std::int64_t, std::int64_t>>& tiles) = 0;
    /** Runs on the window thread after queued tiles were drawn. */
    virtual void setReadyCallback(std::function<void()> ready) = 0;

    /** The theme's style menu (no layers: the theme has none). */
    virtual const StyleMenu& styleMenu() const = 0;
    /** Another style or other overlay switches; drawn tiles are dropped. */
    virtual void setStyle(const std::string& style, const std::map<std::string, bool>& overlays) = 0;

    /** Colour of the land where the map has no object (ARGB). */
    virtual std::uint32_t background() const = 0;
    /** Colour outside every map file (ARGB). */
    virtual std::uint32_t backgroundOutside() const = 0;

    /** What went wrong while reading the theme, for the user. */
    virtual const std::vector<ThemeProblem>& themeProblems() const = 0;
    /** The map files that could not be opened. */
    virtual const std::vector<UnreadableMapFile>& unreadableMaps() const = 0;
};

/** Makes the renderer of a vector map; supplied by the layer that draws. */
using TileRendererFactory = std::function<std::unique_ptr<TileRenderer>(const VectorMapSettings&)>;

} // namespace tw::maps

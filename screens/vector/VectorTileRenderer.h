// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/TileRenderer.h"
#include "maps/mapsforge/MapFileSet.h"
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "screens/vector/VectorDrawing.h"

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <list>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace tw::vector {

/** Draws the tiles of vector map files with a render theme, on one worker
 *  thread of its own: tile() answers from a memory cache of drawn tiles or
 *  queues the tile (the newest request first) and returns null; the ready
 *  callback then runs on the thread that made the renderer. drawnTile()
 *  draws on the calling thread, with a reader and matcher of its own. */
class VectorTileRenderer final : public maps::TileRenderer {
public:
    // Drawn tiles kept: about 24 MB of 256-pixel tiles.
    static constexpr std::size_t kCachedTiles = 96;

    VectorTileRenderer(const maps::VectorMapSettings& settings, const std::filesystem::path& installDir);
    ~VectorTileRenderer() override;
    VectorTileRenderer(const VectorTileRenderer&) = delete;
    VectorTileRenderer& operator=(const VectorTileRenderer&) = delete;

    std::shared_ptr<const maps::TileImage> tile(int zoom, std::int64_t x, std::int64_t y) override;
    std::shared_ptr<const maps::TileImage> drawnTile(int zoom, std::int64_t x, std::int64_t y) override;
    bool covers(int zoom, std::int64_t x, std::int64_t y) const override;
    void keepOnly(const std::vector<std::tuple<int, std::int64_t, std::int64_t>>& tiles) override;
    void setReadyCallback(std::function<void()> ready) override;
    const maps::StyleMenu& styleMenu() const override { return m_theme.styleMenu; }
    void setStyle(const std::string& style, const std::map<std::string, bool>& overlays) override;
    std::uint32_t background() const override { return m_theme.mapBackground; }
    std::uint32_t backgroundOutside() const override { return m_theme.mapBackgroundOutside; }
    const std::vector<maps::ThemeProblem>& themeProblems() const override { return m_problems; }
    const std::vector<maps::UnreadableMapFile>& unreadableMaps() const override { return m_unreadable; }

    /** Tiles kept drawn at most, and now. */
    std::size_t cacheCapacity() const { return m_capacity; }
    std::size_t cachedTiles() const;
    /** Tiles waiting for the worker. */
    std::size_t queuedTiles() const;

private:
    using Key = std::tuple<int, std::int64_t, std::int64_t>;
    struct KeyHash {
        std::size_t operator()(const Key& k) const;
    };
    // A map file set, a matcher and a drawing state: one per thread.
    struct Drawer {
        maps::MapFileSet files;
        std::unique_ptr<maps::ThemeMatcher> matcher;
        std::unique_ptr<VectorDrawState> state;
        std::uint64_t generation = ~std::uint64_t{0};
    };

    void openFiles(maps::MapFileSet& files, bool record);
    QImage draw(Drawer& drawer, const Key& key, std::uint64_t generation);
    std::shared_ptr<const maps::TileImage> cached(const Key& key);
    void store(const Key& key, std::shared_ptr<const maps::TileImage> image);
    void work();
    void postReady();

    maps::VectorMapSettings m_settings;
    maps::RenderTheme m_theme;
    std::vector<maps::ThemeProblem> m_problems;
    std::vector<maps::UnreadableMapFile> m_unreadable;
    std::vector<maps::MicroBox> m_bounds;
    std::size_t m_capacity = kCachedTiles;

    mutable std::mutex m_mutex; // guards everything below up to m_stop
    std::condition_variable m_wake;
    std::unordered_set<std::string> m_categories;
    std::uint64_t m_generation = 0; // grows with every style change
    std::deque<Key> m_queue;        // newest first
    std::list<std::pair<Key, std::shared_ptr<const maps::TileImage>>> m_lru; // most recent first
    std::unordered_map<Key, decltype(m_lru)::iterator, KeyHash> m_cache;
    std::function<void()> m_ready;
    bool m_readyPosted = false;
    bool m_stop = false;

    std::mutex m_callerMutex; // drawnTile
    Drawer m_caller;
    Drawer m_worker;          // the worker's alone
    QObject m_receiver;       // lives on the creating thread: callbacks go there
    std::thread m_thread;
};

/** The renderer of a vector map (see maps::TileRendererFactory): an empty
 *  theme file is the program's own theme; one that does not read gives that
 *  theme, with what went wrong in themeProblems(). */
std::unique_ptr<maps::TileRenderer> makeVectorTileRenderer(const maps::VectorMapSettings& settings,
                                                           const std::filesystem::path& installDir);

} // namespace tw::vector

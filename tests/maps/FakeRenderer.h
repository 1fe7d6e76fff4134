// SPDX-License-Identifier: GPL-3.0-or-later
// A tile renderer for the tests: draws whatever `draw` makes of a tile, at
// once or (hold) only when released, and records what it was asked.
#pragma once

#include "maps/TileRenderer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <vector>

namespace tw::test {

class FakeRenderer final : public maps::TileRenderer {
public:
    using Tile = std::tuple<int, std::int64_t, std::int64_t>;

    explicit FakeRenderer(std::function<std::shared_ptr<const maps::TileImage>(const Tile&)> drawTile)
        : draw(std::move(drawTile)) {}

    std::shared_ptr<const maps::TileImage> tile(int zoom, std::int64_t x, std::int64_t y) override
    {
        const Tile t{zoom, x, y};
        if (auto it = m_drawn.find(t); it != m_drawn.end())
            return it->second;
        if (hold || !covers(zoom, x, y)) {
            if (covers(zoom, x, y))
                queued.insert(t);
            return nullptr;
        }
        return m_drawn[t] = draw(t);
    }
    std::shared_ptr<const maps::TileImage> drawnTile(int zoom, std::int64_t x, std::int64_t y) override
    {
        ++drawnNow;
        return covers(zoom, x, y) ? draw({zoom, x, y}) : nullptr;
    }
    bool covers(int zoom, std::int64_t x, std::int64_t y) const override { return covered({zoom, x, y}); }
    void keepOnly(const std::vector<Tile>& tiles) override
    {
        kept = tiles;
        const std::set<Tile> keep(tiles.begin(), tiles.end());
        std::erase_if(queued, [&](const Tile& t) { return !keep.contains(t); });
    }
    void setReadyCallback(std::function<void()> ready) override { m_ready = std::move(ready); }
    const maps::StyleMenu& styleMenu() const override { return menu; }
    void setStyle(const std::string& s, const std::map<std::string, bool>& o) override
    {
        style = s;
        overlays = o;
        ++styleChanges;
        m_drawn.clear();
    }
    std::uint32_t background() const override { return 0xFF102030; }
    std::uint32_t backgroundOutside() const override { return 0xFF405060; }
    const std::vector<maps::ThemeProblem>& themeProblems() const override { return problems; }
    const std::vector<maps::UnreadableMapFile>& unreadableMaps() const override { return unreadable; }

    // Draws the queued tiles and tells, as the real one does when done.
    void release()
    {
        for (const Tile& t : queued)
            m_drawn[t] = draw(t);
        queued.clear();
        if (m_ready)
            m_ready();
    }

    std::function<std::shared_ptr<const maps::TileImage>(const Tile&)> draw;
    std::function<bool(const Tile&)> covered = [](const Tile&) { return true; };
    bool hold = false;
    std::set<Tile> queued;
    std::vector<Tile> kept;
    int drawnNow = 0;
    maps::StyleMenu menu;
    std::string style;
    std::map<std::string, bool> overlays;
    int styleChanges = 0;
    std::vector<maps::ThemeProblem> problems;
    std::vector<maps::UnreadableMapFile> unreadable;

private:
    std::map<Tile, std::shared_ptr<const maps::TileImage>> m_drawn;
    std::function<void()> m_ready;
};

} // namespace tw::test

// SPDX-License-Identifier: GPL-3.0-or-later
// Vector map tiles of the corpus map drawn with its default theme, one tile
// per repetition at zoom 12, 14, 16 and 18: a spread of tiles that hold
// objects, each drawn with a fresh drawing state (no pictures, fonts or
// labels of an earlier tile); the theme matcher lives on as the worker's does.
//   build/bin/vector_render_bench --benchmark_repetitions=200 --benchmark_min_time=0.000001
#include "maps/mapsforge/MapFileSet.h"
#include "maps/mapsforge/TileMath.h"
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "screens/vector/VectorDrawing.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

namespace fs = std::filesystem;
using namespace tw;

namespace {

fs::path corpus()
{
    if (const char* dir = std::getenv("TARNWICK_CORPUS"))
        return dir;
    return fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "corpus";
}

struct Fixture {
    maps::MapFileSet files;
    maps::RenderTheme theme;
    std::unique_ptr<maps::ThemeMatcher> matcher;
    bool ok = false;

    Fixture()
    {
        auto read = maps::readRenderTheme(corpus() / "mapsforge" / "themes" / "mapsforge" / "default.xml");
        if (!files.add(corpus() / "mapsforge" / "pankow.map") || !read.theme)
            return;
        theme = std::move(*read.theme);
        matcher = std::make_unique<maps::ThemeMatcher>(theme, theme.styleMenu.categories(""));
        ok = true;
    }

    // Up to 48 tiles of the zoom level that hold ways (the corpus map is small:
    // one tile at zoom 12, a few hundred at 18), spread over the map.
    std::vector<maps::MapTileId> tiles(int zoom)
    {
        const maps::MicroBox& b = files.file(0).header().bounds;
        const std::int64_t x0 = maps::tilemath::lonToTileX(b.minLonE6, zoom);
        const std::int64_t x1 = maps::tilemath::lonToTileX(b.maxLonE6, zoom);
        const std::int64_t y0 = maps::tilemath::latToTileY(b.maxLatE6, zoom);
        const std::int64_t y1 = maps::tilemath::latToTileY(b.minLatE6, zoom);
        const std::int64_t count = (x1 - x0 + 1) * (y1 - y0 + 1);
        const std::int64_t step = std::max<std::int64_t>(1, count / 200);
        std::vector<maps::MapTileId> out;
        maps::MapTile tile;
        for (std::int64_t i = 0; i < count && out.size() < 48; i += step) {
            const maps::MapTileId id{zoom, x0 + i % (x1 - x0 + 1), y0 + i / (x1 - x0 + 1)};
            tile.clear();
            if (files.readTile(id, "", tile) && !tile.ways.empty())
                out.push_back(id);
        }
        return out;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void drawTiles(benchmark::State& state, int zoom)
{
    Fixture& f = fixture();
    if (!f.ok) {
        state.SkipWithError("pankow.map or default.xml not in the corpus");
        return;
    }
    static std::map<int, std::vector<maps::MapTileId>> spread;
    auto& tiles = spread[zoom];
    if (tiles.empty())
        tiles = f.tiles(zoom);
    if (tiles.empty()) {
        state.SkipWithError("no tile with ways");
        return;
    }
    static std::map<int, std::size_t> next;
    const vector::TileReader read = [&f](const maps::MapTileId& id, maps::MapTile& out) {
        out.clear();
        return f.files.covers(id) && (f.files.readTile(id, "", out) || true);
    };
    const maps::MicroBox bounds[] = {f.files.file(0).header().bounds};
    double objects = 0;
    for (auto _ : state) {
        const maps::MapTileId id = tiles[next[zoom]++ % tiles.size()];
        state.PauseTiming();
        maps::MapTile tile;
        read(id, tile);
        objects += double(tile.ways.size() + tile.pois.size());
        state.ResumeTiming();
        vector::VectorDrawState drawState(f.theme, *f.matcher, 1.0f);
        benchmark::DoNotOptimize(vector::renderVectorTile(id, read, drawState, bounds).image.bits());
    }
    state.counters["tiles"] = double(tiles.size());
    state.counters["objects"] = benchmark::Counter(objects, benchmark::Counter::kAvgIterations);
}

void zoom12(benchmark::State& s) { drawTiles(s, 12); }
void zoom14(benchmark::State& s) { drawTiles(s, 14); }
void zoom16(benchmark::State& s) { drawTiles(s, 16); }
void zoom18(benchmark::State& s) { drawTiles(s, 18); }
BENCHMARK(zoom12)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(zoom14)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(zoom16)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(zoom18)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

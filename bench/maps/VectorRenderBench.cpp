// SPDX-License-Identifier: GPL-3.0-or-later
// Vector map tiles drawn one per repetition at zoom 12, 14, 16 and 18: the
// corpus map of Pankow with the corpus default theme, and the map written
// from the OpenStreetMap extract of Liechtenstein (tests/maps/OsmMapFixture.h,
// written at start) with the program's own theme and with the corpus
// default theme, symbols and patterns included. The tiles are a spread of
// tiles that hold ways over the whole map, and for Liechtenstein the
// dense blocks around the centres of Vaduz and Schaan. Each tile is drawn
// with a fresh drawing state (no pictures, fonts or labels of an earlier
// tile, so its eight neighbours are read for their labels); the theme matcher
// lives on as the worker's does. The rows MAP_THEME_kept_zoomN draw the same
// tiles in turn with one drawing state kept, as the renderer's worker keeps
// its own: pictures and fonts made once, the labels of the 24 tiles drawn or
// read last at hand.
//   build/bin/vector_render_bench --benchmark_repetitions=200 --benchmark_min_time=0.000001
// With --dump DIR it draws every tile of the rows once instead, at display
// scale 1 and 2, fresh and with the kept state, into DIR as PNG files: two
// dumps, before and after a change to the drawing, compare pixel by pixel
// (diff -r DIR1 DIR2 names the tiles that differ).
// Benchmarks are named MAP_THEME_zoomN (pankow_default_zoom12, ...).
#include "maps/mapsforge/MapFileSet.h"
#include "maps/mapsforge/TileMath.h"
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"
#include "screens/vector/VectorDrawing.h"
#ifdef TARNWICK_BENCH_OSMMAP
#include "tests/maps/OsmMapFixture.h"
#endif

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace fs = std::filesystem;
using namespace tw;

namespace {

fs::path corpus()
{
    if (const char* dir = std::getenv("TARNWICK_CORPUS"))
        return dir;
    return fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "corpus";
}

fs::path corpusTheme() { return corpus() / "mapsforge" / "themes" / "mapsforge" / "default.xml"; }

// A point whose surroundings are drawn besides the spread: a town centre.
struct Dense {
    double lat;
    double lon;
};

// One map drawn with one theme.
struct Case {
    std::string name;
    fs::path map;
    fs::path theme;
    std::vector<Dense> dense;
};

class Fixture {
public:
    explicit Fixture(const Case& c)
    {
        if (c.map.empty() || !m_files.add(c.map)) {
            m_problem = "the map " + c.map.string() + " does not open";
            return;
        }
        auto read = maps::readRenderTheme(c.theme);
        if (!read.theme) {
            m_problem = "the theme " + c.theme.string() + " does not read";
            return;
        }
        m_theme = std::move(*read.theme);
        m_matcher = std::make_unique<maps::ThemeMatcher>(m_theme, m_theme.styleMenu.categories(""));
        m_dense = c.dense;
    }

    const std::string& problem() const { return m_problem; }
    maps::MapFileSet& files() { return m_files; }
    const maps::RenderTheme& theme() const { return m_theme; }
    maps::ThemeMatcher& matcher() { return *m_matcher; }

    // Up to 48 tiles of the zoom level that hold ways: the blocks of 3 × 3
    // around the dense points, then a spread over the map's bounds.
    const std::vector<maps::MapTileId>& tiles(int zoom)
    {
        std::vector<maps::MapTileId>& out = m_tiles[zoom];
        if (!out.empty())
            return out;
        std::set<std::tuple<std::int64_t, std::int64_t>> taken;
        maps::MapTile tile;
        auto take = [&](std::int64_t x, std::int64_t y) {
            const maps::MapTileId id{zoom, x, y};
            if (out.size() >= 48 || taken.contains({x, y}) || !m_files.covers(id))
                return;
            tile.clear();
            if (m_files.readTile(id, "", tile) && !tile.ways.empty()) {
                out.push_back(id);
                taken.insert({x, y});
            }
        };
        for (const Dense& d : m_dense) {
            const std::int64_t cx = maps::tilemath::lonToTileX(maps::tilemath::toE6(d.lon), zoom);
            const std::int64_t cy = maps::tilemath::latToTileY(maps::tilemath::toE6(d.lat), zoom);
            for (std::int64_t dy = -1; dy <= 1; ++dy)
                for (std::int64_t dx = -1; dx <= 1; ++dx)
                    take(cx + dx, cy + dy);
        }
        const maps::MicroBox& b = m_files.file(0).header().bounds;
        const std::int64_t x0 = maps::tilemath::lonToTileX(b.minLonE6, zoom);
        const std::int64_t x1 = maps::tilemath::lonToTileX(b.maxLonE6, zoom);
        const std::int64_t y0 = maps::tilemath::latToTileY(b.maxLatE6, zoom);
        const std::int64_t y1 = maps::tilemath::latToTileY(b.minLatE6, zoom);
        const std::int64_t count = (x1 - x0 + 1) * (y1 - y0 + 1);
        const std::int64_t step = std::max<std::int64_t>(1, count / 200);
        for (std::int64_t i = 0; i < count && out.size() < 48; i += step)
            take(x0 + i % (x1 - x0 + 1), y0 + i / (x1 - x0 + 1));
        return out;
    }

private:
    maps::MapFileSet m_files;
    maps::RenderTheme m_theme;
    std::unique_ptr<maps::ThemeMatcher> m_matcher;
    std::vector<Dense> m_dense;
    std::map<int, std::vector<maps::MapTileId>> m_tiles;
    std::string m_problem;
};

void drawTiles(benchmark::State& state, Fixture& f, int zoom, bool kept)
{
    if (!f.problem().empty()) {
        state.SkipWithError(f.problem().c_str());
        return;
    }
    const std::vector<maps::MapTileId>& tiles = f.tiles(zoom);
    if (tiles.empty()) {
        state.SkipWithError("no tile with ways");
        return;
    }
    maps::MapFileSet& files = f.files();
    const vector::TileReader read = [&files](const maps::MapTileId& id, maps::MapTile& out) {
        out.clear();
        return files.covers(id) && (files.readTile(id, "", out) || true);
    };
    const maps::MicroBox bounds[] = {files.file(0).header().bounds};
    double objects = 0;
    std::size_t next = 0;
    std::unique_ptr<vector::VectorDrawState> keptState;
    if (kept)
        keptState = std::make_unique<vector::VectorDrawState>(f.theme(), f.matcher(), 1.0f);
    for (auto _ : state) {
        const maps::MapTileId id = tiles[next++ % tiles.size()];
        state.PauseTiming();
        maps::MapTile tile;
        read(id, tile);
        objects += double(tile.ways.size() + tile.pois.size());
        state.ResumeTiming();
        if (keptState) {
            benchmark::DoNotOptimize(vector::renderVectorTile(id, read, *keptState, bounds).image.bits());
            continue;
        }
        vector::VectorDrawState drawState(f.theme(), f.matcher(), 1.0f);
        benchmark::DoNotOptimize(vector::renderVectorTile(id, read, drawState, bounds).image.bits());
    }
    state.counters["tiles"] = double(tiles.size());
    state.counters["objects"] = benchmark::Counter(objects, benchmark::Counter::kAvgIterations);
}

std::vector<Case> cases()
{
    std::vector<Case> out;
    out.push_back({"pankow_default", corpus() / "mapsforge" / "pankow.map", corpusTheme(), {}});
#ifdef TARNWICK_BENCH_OSMMAP
    const fs::path liechtenstein = maps::osmmap::liechtensteinMap();
    const std::vector<Dense> towns = {{47.1405, 9.5210}, {47.1645, 9.5095}}; // Vaduz, Schaan
    out.push_back({"liechtenstein_builtin", liechtenstein,
                   maps::builtInThemeFile(TARNWICK_RUNTIME_DIR), towns});
    out.push_back({"liechtenstein_default", liechtenstein, corpusTheme(), towns});
#else
    std::cerr << "vector_render_bench: built without the OpenStreetMap library: no Liechtenstein rows\n";
#endif
    return out;
}

// Every tile of every row drawn once into dir; false when one could not be
// drawn or written.
bool dump(const fs::path& dir)
{
    fs::create_directories(dir);
    bool ok = true;
    for (const Case& c : cases()) {
        Fixture f(c);
        if (!f.problem().empty()) {
            std::cerr << "vector_render_bench: " << f.problem() << "\n";
            ok = false;
            continue;
        }
        maps::MapFileSet& files = f.files();
        const vector::TileReader read = [&files](const maps::MapTileId& id, maps::MapTile& out) {
            out.clear();
            return files.covers(id) && (files.readTile(id, "", out) || true);
        };
        const maps::MicroBox bounds[] = {files.file(0).header().bounds};
        for (const float scale : {1.0f, 2.0f}) {
            vector::VectorDrawState keptState(f.theme(), f.matcher(), scale);
            for (int zoom : {12, 14, 16, 18})
                for (const maps::MapTileId& id : f.tiles(zoom)) {
                    vector::VectorDrawState fresh(f.theme(), f.matcher(), scale);
                    const QImage cold = vector::renderVectorTile(id, read, fresh, bounds).image;
                    const QImage kept = vector::renderVectorTile(id, read, keptState, bounds).image;
                    const std::string stem = c.name + "-x" + std::to_string(int(scale)) + "-" +
                                             std::to_string(id.zoom) + "-" + std::to_string(id.x) + "-" +
                                             std::to_string(id.y);
                    ok = cold.save(QString::fromStdString((dir / (stem + "-fresh.png")).string())) && ok;
                    ok = kept.save(QString::fromStdString((dir / (stem + "-kept.png")).string())) && ok;
                }
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--dump")
        return dump(argv[2]) ? 0 : 1;
    benchmark::Initialize(&argc, argv);
    // A fixture for each case, made when its first benchmark runs.
    std::map<std::string, std::unique_ptr<Fixture>> fixtures;
    for (const Case& c : cases())
        for (const bool kept : {false, true}) {
            if (kept && c.dense.empty())
                continue;
            for (int zoom : {12, 14, 16, 18})
                benchmark::RegisterBenchmark(
                    (c.name + (kept ? "_kept" : "") + "_zoom" + std::to_string(zoom)).c_str(),
                    [c, zoom, kept, &fixtures](benchmark::State& state) {
                        std::unique_ptr<Fixture>& f = fixtures[c.name];
                        if (!f)
                            f = std::make_unique<Fixture>(c);
                        drawTiles(state, *f, zoom, kept);
                    })
                    ->Unit(benchmark::kMillisecond)
                    ->UseRealTime();
        }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Printed sheets of 500 generated caches (HTML listings of 1 to 4 KB, 5 to
// 20 logs, waypoints) into one PDF file, each with its map from a tile
// database around them: build/bin/cache_sheet_bench
#include "bench/common/BenchCaches.h"
#include "bench/common/BenchProgram.h"
#include "bench/common/BenchTiles.h"
#include "db/CacheStore.h"
#include "screens/CacheSheet.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr int kCaches = 500;
constexpr geo::LatLon kCentre{50.087, 14.421};
constexpr int kTileZoom = 16; // the zoom a sheet shows a lone cache at

struct Program : bench::BenchProgram {
    Program() : BenchProgram("sheet")
    {
        global->settings.language = "en";
        global->lang.loadTable(TARNWICK_RUNTIME_DIR, "en");
        CacheStore store(global->db.cacheDb, global->db.tagCategories);
        std::mt19937 rng(30);
        global->db.cacheDb.Exec("BEGIN");
        for (int i = 0; i < kCaches; ++i) {
            CGeocache c = bench::makeCache(rng, i);
            bench::placeAround(rng, c, kCentre, 2.0);
            store.InsertCache(c);
            codes.push_back(c.code);
        }
        global->db.cacheDb.Exec("COMMIT");

        // The tiles under every cache.
        maps::MapSource& source = global->mapSources[0];
        source.type = "Google";
        source.name = "Bench tiles";
        source.storage = "database";
        maps::MapType type;
        type.mode = "basic";
        type.name = "Land";
        type.file = "bench";
        type.maxZoom = 18;
        source.basic.push_back(type);
        global->settings.mapFolder = (root / "maps").string();
        global->settings.mapSource = 0;
        fs::create_directories(root / "maps");
        bench::fillTileDatabase(source, root / "maps", kCentre, kTileZoom, 9);
    }

    std::vector<std::string> codes;
};

void BM_Sheets500(benchmark::State& state)
{
    Program program;
    const fs::path file = program.root / "sheets.pdf";
    SheetSummary summary;
    for (auto _ : state) {
        summary = writeCacheSheets(*program.global, program.codes, file, nullptr, nullptr);
        if (!summary.written || summary.sheets != kCaches)
            state.SkipWithError(summary.error.c_str());
    }
    std::error_code ec;
    state.counters["sheets"] = summary.sheets;
    state.counters["maps"] = summary.maps;
    state.counters["MB"] = static_cast<double>(fs::file_size(file, ec)) / 1e6;
}

} // namespace

BENCHMARK(BM_Sheets500)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Printed sheets of 500 generated caches (HTML listings of 1 to 4 KB, 5 to
// 20 logs, waypoints) into one PDF file, each with its map from a tile
// database around them: build/bin/cache_sheet_bench
#include "app/CGlobalData.h"
#include "bench/common/BenchCaches.h"
#include "bench/common/BenchTiles.h"
#include "db/CacheStore.h"
#include "maps/MercatorTileProvider.h"
#include "maps/TileDatabase.h"
#include "platform/RecordingKeepAwake.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "screens/CacheSheet.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr int kCaches = 500;
constexpr geo::LatLon kCentre{50.087, 14.421};
constexpr int kTileZoom = 16; // the zoom a sheet shows a lone cache at

struct Program {
    Program()
    {
        char pattern[] = "/tmp/tarnwick-sheet-bench-XXXXXX";
        root = ::mkdtemp(pattern);
        Paths paths{root / "config", root / "data", TARNWICK_RUNTIME_DIR, root / "docs"};
        global = std::make_unique<CGlobalData>(paths, Services{prompter, notifier, keepAwake});
        global->settings.language = "en";
        global->lang.loadTable(TARNWICK_RUNTIME_DIR, "en");
        const fs::path db = root / "cachedb.db3";
        fs::copy_file(fs::path(TARNWICK_RUNTIME_DIR) / "emptydb.db3", db);
        global->settings.dbFile = db.string();
        global->db.cacheDb.OpenFile(db.string());
        global->db.InitTagCategories();
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
        maps::TileProvider::Options o;
        o.mapFolder = root / "maps";
        o.zoom = kTileZoom;
        o.centre = kCentre;
        maps::MercatorTileProvider provider(source, o);
        const maps::WorldPoint c = provider.centreWorld();
        for (int i = -9; i <= 9; ++i)
            for (int j = -9; j <= 9; ++j) {
                const maps::WorldPoint t = provider.offsetByTiles(c, i, j);
                const QByteArray png = tw::bench::mapTilePng(provider.tileColumn(t), provider.tileRow(t));
                provider.database(0)->write(provider.databaseKey(t, 0), png.data(), static_cast<std::size_t>(png.size()));
            }
    }
    ~Program()
    {
        global.reset();
        std::error_code ec;
        fs::remove_all(root, ec);
    }

    fs::path root;
    RecordingPrompter prompter;
    RecordingNotifier notifier;
    RecordingKeepAwake keepAwake;
    std::unique_ptr<CGlobalData> global;
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

// SPDX-License-Identifier: GPL-3.0-or-later
// A 480 × 800 view (5 × 5 tiles around the centre, as many as meet the
// screen) composed from a single-file tile database with the Qt canvas:
// cold decodes every tile, warm draws the tiles decoded before.
#include "bench/common/BenchTiles.h"
#include "maps/MapComposer.h"
#include "maps/MercatorTileProvider.h"
#include "screens/QtImageDecoder.h"
#include "screens/QtMapCanvas.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr tw::geo::LatLon kCentre{50.087, 14.421};

struct Fixture {
    fs::path folder;
    maps::MapSource source;

    Fixture()
    {
        char pattern[] = "/tmp/tarnwick-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        source.type = "Google";
        source.storage = "database";
        maps::MapType type;
        type.mode = "basic";
        type.file = "bench";
        source.basic.push_back(type);
        bench::fillTileDatabase(source, folder, kCentre, 13, 2);
    }
    ~Fixture()
    {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    std::unique_ptr<maps::MercatorTileProvider> provider() const
    {
        maps::TileProvider::Options o;
        o.mapFolder = folder;
        o.zoom = 13;
        o.centre = kCentre;
        return std::make_unique<maps::MercatorTileProvider>(source, o);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void composeCold(benchmark::State& state)
{
    auto provider = fixture().provider();
    QtImageDecoder decoder;
    QImage frame(480, 800, QImage::Format_RGB32);
    for (auto _ : state) {
        maps::MapComposer composer(*provider, decoder);
        QtMapCanvas canvas(frame);
        composer.composeTiles(canvas, {});
        benchmark::DoNotOptimize(frame.constBits());
        if (composer.decodedTiles() < 12)
            state.SkipWithError("tiles missing");
    }
}
BENCHMARK(composeCold)->Unit(benchmark::kMillisecond);

void composeWarm(benchmark::State& state)
{
    auto provider = fixture().provider();
    QtImageDecoder decoder;
    maps::MapComposer composer(*provider, decoder);
    QImage frame(480, 800, QImage::Format_RGB32);
    {
        QtMapCanvas canvas(frame);
        composer.composeTiles(canvas, {});
    }
    for (auto _ : state) {
        QtMapCanvas canvas(frame);
        composer.composeTiles(canvas, {});
        benchmark::DoNotOptimize(frame.constBits());
    }
}
BENCHMARK(composeWarm)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

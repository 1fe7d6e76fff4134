// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a cache database of N caches straight through the program's store,
// without a GPX file in between, so that a million caches take minutes and
// not hours. The caches are those of make_pocket_query (texts, logs,
// attributes, waypoints of Multi-caches and Unknown Caches) with three to
// six logs each, most of them dense around five cities so that a map area
// or a distance limit holds many, a tenth found, a few archived or disabled.
//   make_cache_database [--index store|build] N FILE
// FILE is made anew from the program's empty database; progress goes to
// standard error. The full-text index is filled by the store on every write
// (store), or built once after the caches are in (build, the faster way).
#include "bench/common/BenchCaches.h"
#include "db/CacheStore.h"
#include "db/Database.h"
#include "db/FullText.h"
#include "db/Tags.h"
#include "platform/RecordingPrompter.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>

namespace fs = std::filesystem;
using namespace tw;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBatchCaches = 5000;
// Prague (twice the weight of the others), Brno, Plzeň, Liberec, Ostrava.
constexpr geo::LatLon kCities[] = {{50.0875, 14.4214}, {50.0875, 14.4214}, {49.1951, 16.6068},
                                   {49.7384, 13.3736}, {50.7663, 15.0543}, {49.8209, 18.2625}};

// Moves the cache with its waypoints to `at`.
void moveTo(CGeocache& c, geo::LatLon at)
{
    for (auto& w : c.waypoints) {
        w->lat += at.lat - c.lat;
        w->lon += at.lon - c.lon;
    }
    c.lat = at.lat;
    c.lon = at.lon;
}

// Four caches in five around a city (most within 15 km), the rest anywhere
// in the country.
void place(std::mt19937& rng, CGeocache& c, int n)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    if (n % 5 == 4) {
        moveTo(c, {48.6 + unit(rng) * 2.4, 12.1 + unit(rng) * 6.7});
        return;
    }
    std::normal_distribution<double> spreadKm(0.0, 8.0);
    const geo::LatLon city = kCities[rng() % std::size(kCities)];
    moveTo(c, geo::projectPoint(city, std::fabs(spreadKm(rng)), 360.0 * unit(rng)));
}

void finish(CGeocache& c, int n)
{
    // Codes above those of make_pocket_query, whose caches can then be
    // imported as new ones.
    char code[16];
    std::snprintf(code, sizeof code, "GC%X", 0x100000 + n);
    c.code = code;
    c.logs.resize(std::min(c.logs.size(), static_cast<std::size_t>(3 + n % 4)));
    c.found = n % 10 == 0 ? 20100101 + (n % 15) * 10000 + (n % 12) * 100 + n % 28 : 0;
    c.foundTime = c.found ? (n % 24) * 100 + n % 60 : 0;
    c.status = n % 40 == 0 ? 1 : n % 97 == 0 ? 2 : 0;
}

double since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    bool buildIndex = true;
    if (argc == 5 && std::string_view(argv[1]) == "--index" &&
        (std::string_view(argv[2]) == "store" || std::string_view(argv[2]) == "build")) {
        buildIndex = std::string_view(argv[2]) == "build";
        argv += 2;
        argc -= 2;
    }
    const int count = argc == 3 ? std::atoi(argv[1]) : 0;
    if (count <= 0) {
        std::fprintf(stderr, "usage: make_cache_database [--index store|build] N FILE\n");
        return 2;
    }
    const fs::path file = argv[2];
    std::error_code ec;
    fs::remove(file, ec);
    fs::remove(file.string() + "-wal", ec);
    fs::remove(file.string() + "-shm", ec);
    fs::copy_file(fs::path(TARNWICK_RUNTIME_DIR) / "emptydb.db3", file);

    RecordingPrompter prompter;
    SQLite::Database db(&prompter);
    if (db.OpenFile(file.string()) != 0)
        return 1;
    // A lost generation is made again: no waiting for the disk.
    db.Exec("PRAGMA synchronous = OFF;");
    const TagCategories categories = resolveTagCategories(db);
    CacheStore store(db, categories);
    // Without its state table the writers leave the index alone.
    if (buildIndex && db.Exec("DROP TABLE `cachetext_state`;") != 0)
        return 1;

    std::mt19937 rng(20261208);
    const auto start = Clock::now();
    int waypoints = 0;
    for (int i = 0; i < count; ++i) {
        if (i % kBatchCaches == 0) {
            if (i && db.endBatch() != 0)
                return 1;
            db.beginBatch();
        }
        CGeocache c = bench::makeCache(rng, i);
        place(rng, c, i);
        finish(c, i);
        if (!store.InsertCache(c)) {
            std::fprintf(stderr, "make_cache_database: cache %s not stored: %s\n", c.code.c_str(),
                         store.lastErrorText().c_str());
            return 1;
        }
        for (auto& w : c.waypoints) {
            w->code = c.code;
            w->flag = 1;
            if (!store.InsertWaypoint(*w))
                return 1;
            ++waypoints;
        }
        if ((i + 1) % 50000 == 0 || i + 1 == count)
            std::fprintf(stderr, "make_cache_database: %d of %d caches, %.0f s\n", i + 1, count, since(start));
    }
    if (db.endBatch() != 0)
        return 1;
    const double stored = since(start);
    if (buildIndex) {
        const bool built = fulltext::Build(db, [&](long long done, long long total) {
            if (done % 100000 == 0 || done == total)
                std::fprintf(stderr, "make_cache_database: index of %lld of %lld caches, %.0f s\n", done, total,
                             since(start));
            return true;
        });
        if (!built || !fulltext::Ready(db)) {
            std::fprintf(stderr, "make_cache_database: the full-text index was not built\n");
            return 1;
        }
    }
    const double indexed = since(start) - stored;
    db.Exec("PRAGMA wal_checkpoint(TRUNCATE);");
    db.Close();
    const double total = stored + indexed;
    std::fprintf(stderr,
                 "make_cache_database: %d caches, %d waypoints in %.1f s (%.0f caches/s; stored %.1f s, index %s "
                 "%.1f s), %.0f MB\n",
                 count, waypoints, total, count / total, stored, buildIndex ? "built after" : "kept by the store",
                 buildIndex ? indexed : 0.0, static_cast<double>(fs::file_size(file)) / 1e6);
    return 0;
}

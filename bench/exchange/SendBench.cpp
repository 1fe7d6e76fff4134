// SPDX-License-Identifier: GPL-3.0-or-later
// Sending 5,000 caches with five logs each (and a waypoint each) to a
// handheld unit: the database is made in a temporary folder, the unit is a
// folder with Garmin/GarminDevice.xml beside it. build/bin/send_bench
#include "app/DeviceSend.h"
#include "bench/common/BenchProgram.h"
#include "db/CacheStore.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr int kCaches = 5000;
constexpr int kLogs = 5;

struct Program : bench::BenchProgram {
    Program() : BenchProgram("send")
    {
        CacheStore store(global->db.cacheDb, global->db.tagCategories);
        global->db.cacheDb.Exec("BEGIN");
        std::string listing;
        for (int i = 0; i < 40; ++i)
            listing += "<p>A walk along the old mill race to the <b>stone bridge</b>, then up the hill.</p>\n";
        for (int i = 0; i < kCaches; ++i) {
            CGeocache c;
            c.code = "GC" + std::to_string(100000 + i);
            c.name = "Old mill bridge " + std::to_string(i);
            c.author = "owner";
            c.lat = 50.0 + i * 1e-4;
            c.lon = 14.0;
            c.longDesc = listing;
            c.longDescHtml = 1;
            c.hint = "under the stone";
            store.InsertCache(c);
            for (int n = 0; n < kLogs; ++n) {
                CGeoLog log;
                log.logId = i * 10 + n + 1;
                log.date = 20260101 + n;
                log.finder = "finder";
                log.text = "Found it after a long search, thanks for the cache and the walk!";
                store.InsertLog(log, c.code);
            }
            CWaypoint w;
            w.prefix = "PK";
            w.code = c.code;
            w.name = "Parking";
            w.type = WaypointType::Parking;
            w.lat = c.lat;
            w.lon = c.lon + 0.001;
            store.InsertWaypoint(w);
        }
        global->db.cacheDb.Exec("COMMIT");
        auto& filter = global->list.filter;
        filter.active = filter.disabled = filter.archived = 1;
        filter.found = filter.owned = 2;
        fs::create_directories(root / "unit" / "Garmin" / "GPX");
        std::ofstream(root / "unit" / "Garmin" / "GarminDevice.xml")
            << "<Device><Model><Description>bench</Description></Model><Id>1</Id></Device>\n";
    }
};

void BM_Send5000(benchmark::State& state)
{
    Program program;
    const auto device = gpsdevice::DeviceAt((program.root / "unit").string());
    if (!device) {
        state.SkipWithError("no unit");
        return;
    }
    SendSummary summary;
    for (auto _ : state) {
        summary = sendToDevice(*program.global, *device, nullptr, nullptr);
        if (!summary.written || summary.caches != kCaches)
            state.SkipWithError(summary.message.c_str());
    }
    state.counters["caches"] = summary.caches;
    state.counters["MB"] = static_cast<double>(summary.bytes) / 1e6;
}

} // namespace

BENCHMARK(BM_Send5000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();

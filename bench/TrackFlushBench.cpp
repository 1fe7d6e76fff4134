// SPDX-License-Identifier: GPL-3.0-or-later
// Writing 10,000 buffered track points into the track database in one flush
// (the largest buffer the track settings allow is far smaller; this is the
// worst case of a flush that waited, e.g. behind a full card).
#include "db/Database.h"
#include "gps/CTrackLogger.h"
#include "platform/RecordingPrompter.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace fs = std::filesystem;
using namespace tw;

namespace {

constexpr int kPoints = 10000;

void BM_TrackFlush10000(benchmark::State& state)
{
    char pattern[] = "/tmp/tarnwick-track-bench-XXXXXX";
    const fs::path folder = ::mkdtemp(pattern);
    RecordingPrompter prompter;
    {
        SQLite::Database db(&prompter);
        db.OpenFile((folder / "$tarnwick.db3").string());
        CTrackLogger logger(db, prompter);
        std::time_t now = 1700000000;
        logger.setClock([&now] { return now; });
        logger.openTrackLog();
        logger.setRecording(true);
        logger.setMaxTrackBuffer(kPoints + 1);
        double lat = 50.0;
        for (auto _ : state) {
            state.PauseTiming();
            // A walk north-east, one fix every two seconds.
            for (int i = 0; i < kPoints; ++i) {
                now += 2;
                lat += 0.0002;
                logger.appendTrack(lat, 14.0 + (lat - 50.0) / 2, 300.0 + i % 50, 1.2, 7, 5.0);
            }
            if (logger.bufferedPoints() != static_cast<std::size_t>(kPoints)) {
                state.SkipWithError("the points were not buffered");
                break;
            }
            state.ResumeTiming();
            logger.flushBuffer();
            if (logger.bufferedPoints() != 0)
                state.SkipWithError("the flush failed");
        }
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
}

} // namespace

BENCHMARK(BM_TrackFlush10000)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5);

BENCHMARK_MAIN();

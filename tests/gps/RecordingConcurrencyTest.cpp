// SPDX-License-Identifier: GPL-3.0-or-later
// The reader thread records while the window thread works on the tracks;
// run under the thread sanitizer in CI.
#include "db/Database.h"
#include "db/Statement.h"
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"
#include "platform/Numbers.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/gps/GpsTestSupport.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <string>
#include <thread>

namespace tw {
namespace {

using namespace std::chrono_literals;

class RecordingConcurrencyTest : public test::TempDirTest {};

TEST_F(RecordingConcurrencyTest, NoPointIsLostOrDuplicated)
{
    constexpr int kSentences = 1500;
    RecordingPrompter prompter;
    RecordingNotifier notifier;
    SQLite::Database db(&prompter);
    ASSERT_EQ(db.OpenFile((dir / "$tarnwick.db3").string()), SQLITE_OK);
    CTrackLogger logger(db, prompter);
    // Every fix three seconds after the previous one, so none is filtered.
    std::atomic<std::time_t> clock{1700000000};
    logger.setClock([&clock] { return clock.fetch_add(3); });
    logger.setRecording(true);
    logger.setMaxTrackBuffer(7);
    ASSERT_TRUE(logger.openTrackLog());
    GpsReceiver receiver(notifier);
    receiver.setFixSink(&logger);

    test::FakeReceiver device;
    ASSERT_TRUE(receiver.Start(device.slaveName(), 115200));
    std::thread writer([&] {
        for (int i = 0; i < kSentences; ++i) {
            // 0.0002° apart: neither standing still nor a jump.
            // Three seconds apart by the receiver's time as well.
            const int second = i * 3;
            char time[16];
            std::snprintf(time, sizeof time, "%02d%02d%02d", 20 + second / 3600, second / 60 % 60, second % 60);
            const double minutes = 10.0 + i * 0.012;
            device.send("$GPGGA," + std::string(time) + ",49" + num::formatFixed(minutes, 6).substr(0, 9) +
                        ",N,01636.000,E,1,07,1.0,250.0,M,,M,,\r\n");
        }
    });

    int deletedPoints = 0;
    std::set<int> deleted;
    const auto end = std::chrono::steady_clock::now() + 20s;
    int round = 0;
    while (std::chrono::steady_clock::now() < end) {
        ++round;
        logger.flushBuffer();
        (void)logger.statistics();
        (void)logger.recentPoints();
        (void)logger.altitudeProfile();
        (void)receiver.snapshot();
        if (round % 5 == 0) {
            const int old = logger.currentTrackId();
            logger.newTrack();
            if (round % 10 == 0) {
                deletedPoints += static_cast<int>(logger.trackPoints(old).size());
                logger.deleteTrack(old);
                deleted.insert(old);
            }
        }
        int stored = 0;
        for (const int id : logger.trackIds())
            stored += static_cast<int>(logger.trackPoints(id).size());
        if (stored + deletedPoints + static_cast<int>(logger.bufferedPoints()) >= kSentences)
            break;
        std::this_thread::sleep_for(2ms);
    }
    writer.join();
    receiver.Stop(); // flushes

    SQLite::Statement q(db, "SELECT COUNT(*), COUNT(DISTINCT lat) FROM track_log WHERE lat <> 0");
    ASSERT_EQ(q.Step(), SQLITE_ROW);
    EXPECT_EQ(q.ColumnInt(0), q.ColumnInt(1)) << "a point was written twice";
    EXPECT_EQ(q.ColumnInt(0) + deletedPoints, kSentences) << "after " << round << " rounds";
    EXPECT_FALSE(deleted.empty());
    EXPECT_TRUE(prompter.messages().empty());
}

} // namespace
} // namespace tw

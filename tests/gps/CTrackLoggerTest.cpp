// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/CTrackLogger.h"

#include "db/Database.h"
#include "db/Statement.h"
#include "gps/ProximityAlert.h"
#include "platform/RecordingPrompter.h"
#include "platform/RecordingSoundPlayer.h"
#include "tests/TestSupport.h"
#include "tests/geo/RowName.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cstdlib>
#include <optional>

namespace tw {
namespace {

constexpr std::time_t kStart = 1299330429; // 2011-03-05 13:07:09 UTC

class TrackLoggerTest : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        ::setenv("TZ", "CET-1", 1);
        ::tzset();
        open();
    }

    void open()
    {
        ASSERT_EQ(db.OpenFile((dir / "$tarnwick.db3").string()), SQLITE_OK);
        logger.setClock([this] { return clock; });
        logger.setRecording(true);
        ASSERT_TRUE(logger.openTrackLog());
    }

    // A fix with five satellites at the clock's time.
    void fix(double lat, double lon, double alt = 300.0, double speedKmh = 4.0)
    {
        logger.appendTrack(lat, lon, alt, 1.5, 5, speedKmh);
    }

    long long count(const std::string& sql)
    {
        SQLite::Statement q(db, sql);
        return q.Step() == SQLITE_ROW ? q.columnInt64(0) : -1;
    }

    std::time_t clock = kStart;
    RecordingPrompter prompter;
    SQLite::Database db{&prompter};
    CTrackLogger logger{db, prompter};
};

TEST_F(TrackLoggerTest, FreshDatabaseGetsTrackOneWithItsStartMarker)
{
    EXPECT_EQ(logger.currentTrackId(), 1);
    const auto list = logger.listTracks();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].trackId, 1);
    EXPECT_EQ(list[0].pointCount, 1);
    EXPECT_EQ(list[0].date, 20110305);
    EXPECT_EQ(list[0].time, 140709);
}

TEST_F(TrackLoggerTest, StandingStillAddsNothing)
{
    fix(49.0, 16.0);
    for (int i = 0; i < 100; ++i) {
        clock += 60;
        fix(49.0 + 0.00009, 16.0 - 0.0001);
    }
    EXPECT_EQ(logger.recentPoints().size(), 1u);
}

struct JumpRow {
    std::string name;
    std::time_t afterS;
    double dLat;
    bool accepted;
};

class JumpTest : public TrackLoggerTest, public ::testing::WithParamInterface<JumpRow> {};

TEST_P(JumpTest, FarPositionsCountOnlyAfterThirtySeconds)
{
    fix(49.0, 16.0);
    clock += GetParam().afterS;
    fix(49.0 + GetParam().dLat, 16.0);
    EXPECT_EQ(logger.recentPoints().size(), GetParam().accepted ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Points, JumpTest,
                         ::testing::Values(JumpRow{"JumpAfterFiveSeconds", 5, 0.01, false},
                                           JumpRow{"JumpAfterThirtySeconds", 30, 0.01, false},
                                           JumpRow{"SamePositionAfterThirtyOneSeconds", 31, 0.01, true},
                                           JumpRow{"WalkingPace", 5, 0.0002, true},
                                           JumpRow{"WithinOneSecond", 1, 0.0002, false},
                                           JumpRow{"TwoSecondsLater", 2, 0.0002, true}),
                         test::RowName());

TEST_F(TrackLoggerTest, TwoGgasWithinOneSecondGiveOnePoint)
{
    fix(49.0, 16.0);
    fix(49.0005, 16.0);
    EXPECT_EQ(logger.recentPoints().size(), 1u);
}

TEST_F(TrackLoggerTest, NoSatellitesNoPoint)
{
    logger.appendTrack(49.0, 16.0, 300, 1.0, 0, 0);
    EXPECT_TRUE(logger.recentPoints().empty());
}

TEST_F(TrackLoggerTest, RecordingOffNoPoint)
{
    logger.setRecording(false);
    fix(49.0, 16.0);
    EXPECT_TRUE(logger.recentPoints().empty());
}

TEST_F(TrackLoggerTest, ThirtyFirstBufferedPointWritesAllThirtyOne)
{
    logger.setMaxTrackBuffer(30);
    for (int i = 0; i < 30; ++i) {
        fix(49.0 + i * 0.0002, 16.0);
        clock += 2;
    }
    EXPECT_EQ(logger.bufferedPoints(), 30u);
    EXPECT_EQ(count("SELECT COUNT(*) FROM track_log"), 1);
    fix(49.0 + 30 * 0.0002, 16.0);
    EXPECT_EQ(logger.bufferedPoints(), 0u);
    EXPECT_EQ(count("SELECT COUNT(*) FROM track_log WHERE lat <> 0"), 31);
}

TEST_F(TrackLoggerTest, StatisticsAndStoredTimes)
{
    fix(49.0, 16.0, 250.0, 3.0);
    clock += 10;
    fix(49.001, 16.0, 240.0, 7.5);
    clock += 10;
    fix(49.002, 16.0, 260.0, 5.0);
    const TrackStatistics s = logger.statistics();
    EXPECT_NEAR(s.totalDistanceKm, 0.2224, 0.001);
    EXPECT_DOUBLE_EQ(s.minAltitude, 240.0);
    EXPECT_DOUBLE_EQ(s.maxAltitude, 260.0);
    EXPECT_DOUBLE_EQ(s.maxSpeedKmh, 7.5);
    EXPECT_EQ(s.startTime, kStart);
    logger.flushBuffer();
    SQLite::Statement q(db, "SELECT date, time, hdop FROM track_log WHERE lat <> 0 ORDER BY key LIMIT 1");
    ASSERT_EQ(q.Step(), SQLITE_ROW);
    EXPECT_EQ(q.ColumnInt(0), 20110305);
    EXPECT_EQ(q.ColumnInt(1), 140709);
    EXPECT_DOUBLE_EQ(q.ColumnDouble(2), 1.5);
}

// A fix of the receiver, seconds after kStart by its own time.
GpsFix fixAt(double lat, std::optional<std::time_t> afterS, int satsUsed = 5)
{
    GpsFix f{lat, 16.0, 300.0, 1.2, satsUsed, 4.0, {}, {}};
    if (afterS)
        f.utcTime = kStart + *afterS;
    return f;
}

TEST_F(TrackLoggerTest, PointsTakeTheReceiversTimeAndItsTwoSecondRule)
{
    clock = kStart + 5 * 365 * 86400; // the log is replayed years later
    logger.appendFix(fixAt(49.0, 0));
    clock += 10;
    logger.appendFix(fixAt(49.0003, 1)); // ten seconds on the clock, one by the fix
    logger.appendFix(fixAt(49.0006, 2));
    logger.appendFix(fixAt(49.0009, 4, 0)); // "00" satellites, with a fix
    const auto points = logger.recentPoints();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[2].time, kStart);
    EXPECT_EQ(points[1].time, kStart + 2);
    EXPECT_EQ(points[0].time, kStart + 4);
    EXPECT_EQ(logger.statistics().startTime, kStart);
    logger.flushBuffer();
    SQLite::Statement q(db, "SELECT date, time FROM track_log WHERE lat <> 0 ORDER BY key LIMIT 1");
    ASSERT_EQ(q.Step(), SQLITE_ROW);
    EXPECT_EQ(q.ColumnInt(0), 20110305);
    EXPECT_EQ(q.ColumnInt(1), 140709);
}

TEST_F(TrackLoggerTest, TheClockDatesWhatTheReceiverDoesNotTell)
{
    GpsFix timeOfDay = fixAt(49.0, std::nullopt);
    timeOfDay.utcSecondOfDay = 23 * 3600 + 59 * 60 + 58; // just before the clock's midnight
    clock = kStart - 13 * 3600 - 7 * 60 - 9 + 86400 + 3;   // 2011-03-06 00:00:03 UTC
    logger.appendFix(timeOfDay);
    clock += 100;
    logger.appendFix(fixAt(49.001, std::nullopt)); // no time at all
    const auto points = logger.recentPoints();
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[1].time, clock - 100 - 5);
    EXPECT_EQ(points[0].time, clock);
}

TEST_F(TrackLoggerTest, ATimeBeforeTheLastPointStartsAfresh)
{
    logger.appendFix(fixAt(49.0, 86400));
    logger.appendFix(fixAt(49.01, 0)); // another log, a day older, far away
    logger.appendFix(fixAt(49.0103, 2));
    const auto points = logger.recentPoints();
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0].time, kStart + 2);
}

TEST_F(TrackLoggerTest, ReopeningContinuesTheTrackWithItsStatistics)
{
    fix(49.0, 16.0, 250.0);
    clock += 60;
    fix(49.001, 16.0, 270.0);
    logger.flushBuffer();
    CTrackLogger again(db, prompter);
    ASSERT_TRUE(again.openTrackLog());
    EXPECT_EQ(again.currentTrackId(), 1);
    EXPECT_EQ(again.recentPoints().size(), 2u);
    EXPECT_NEAR(again.statistics().totalDistanceKm, 0.1112, 0.001);
    EXPECT_EQ(again.statistics().duration, 60);
    EXPECT_DOUBLE_EQ(again.statistics().minAltitude, 250.0);
    EXPECT_FALSE(again.altitudeProfile().empty());
}

TEST_F(TrackLoggerTest, DeletingTheCurrentTrackReusesItsNumber)
{
    for (int i = 0; i < 6; ++i) {
        fix(49.0 + i * 0.001, 16.0);
        clock += 40;
        logger.newTrack();
    }
    ASSERT_EQ(logger.currentTrackId(), 7);
    fix(49.1, 16.0);
    logger.flushBuffer();
    logger.deleteTrack(7);
    EXPECT_EQ(logger.currentTrackId(), 7);
    EXPECT_TRUE(logger.recentPoints().empty());
    EXPECT_EQ(logger.statistics().totalDistanceKm, 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM track_log WHERE trackid = 7"), 1) << "only the new start marker";
}

TEST_F(TrackLoggerTest, RenameAndDeleteAll)
{
    EXPECT_TRUE(logger.renameTrack(1, "Trip to Brno/2"));
    EXPECT_EQ(logger.trackHeader(1)->name, "Trip to Brno/2");
    EXPECT_TRUE(logger.renameTrack(1, "Třebíč"));
    EXPECT_EQ(logger.listTracks()[0].name, "Třebíč");
    fix(49.0, 16.0);
    logger.deleteAllTracks();
    EXPECT_EQ(count("SELECT COUNT(*) FROM track_log"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM track_name"), 0);
    EXPECT_EQ(logger.currentTrackId(), 1);
}

TEST_F(TrackLoggerTest, FailedWriteKeepsThePointsForTheNextFlush)
{
    fix(49.0, 16.0);
    ASSERT_EQ(db.Exec("CREATE TRIGGER no_insert BEFORE INSERT ON track_log BEGIN SELECT RAISE(ABORT, 'card full'); END;"),
              SQLITE_OK);
    logger.flushBuffer();
    logger.flushBuffer();
    EXPECT_EQ(logger.bufferedPoints(), 1u);
    ASSERT_EQ(prompter.messages().size(), 1u) << "one message, not one per attempt";
    EXPECT_EQ(prompter.messages()[0].text, "TrackLogger - SQLite error: card full");
    ASSERT_EQ(db.Exec("DROP TRIGGER no_insert;"), SQLITE_OK);
    logger.flushBuffer();
    EXPECT_EQ(logger.bufferedPoints(), 0u);
    EXPECT_EQ(count("SELECT COUNT(*) FROM track_log WHERE lat <> 0"), 1);
}

TEST_F(TrackLoggerTest, OlderDatabaseGainsHdopAndKeepsItsRows)
{
    db.Close();
    std::filesystem::remove(dir / "$tarnwick.db3");
    ASSERT_EQ(db.OpenFile((dir / "$tarnwick.db3").string()), SQLITE_OK);
    ASSERT_EQ(db.Exec("CREATE TABLE track_log (key INTEGER PRIMARY KEY AUTOINCREMENT,trackid INTEGER,date INTEGER,"
                      "time INTEGER,lat DOUBLE,lon DOUBLE,alt DOUBLE);"
                      "INSERT INTO track_log (trackid,date,time,lat,lon,alt) VALUES (3,20100101,120000,0,0,0);"
                      "INSERT INTO track_log (trackid,date,time,lat,lon,alt) VALUES (3,20100101,120010,49.5,16.5,300);"),
              SQLITE_OK);
    CTrackLogger old(db, prompter);
    ASSERT_TRUE(old.openTrackLog());
    EXPECT_EQ(old.currentTrackId(), 3);
    EXPECT_EQ(count("SELECT COUNT(hdop IS NULL) FROM track_log"), 2);
    EXPECT_EQ(old.recentPoints().size(), 1u);
}

TEST_F(TrackLoggerTest, ProfileInterpolatesAcrossSkippedSteps)
{
    fix(49.0, 16.0, 100.0);
    clock += 40;
    fix(49.001, 16.0, 110.0); // 111 m: step 5
    clock += 40;
    fix(49.002, 16.0, 130.0); // 222 m: step 11, 6 to 10 interpolated
    const auto profile = logger.altitudeProfile();
    ASSERT_TRUE(profile.count(11));
    EXPECT_DOUBLE_EQ(profile.at(11), 130.0);
    ASSERT_TRUE(profile.count(8));
    EXPECT_GT(profile.at(8), 110.0);
    EXPECT_LT(profile.at(8), 130.0);
}

class AlertTest : public TrackLoggerTest {
protected:
    void SetUp() override
    {
        TrackLoggerTest::SetUp();
        alert.setSoundPlayer(&sound);
        ProximityAlert::Config c;
        c.distance = 30;
        c.sound = "/sounds/alarm.wav";
        alert.setConfig(c);
        alert.setTarget(geo::LatLon{49.0, 16.0});
        logger.setProximityAlert(&alert);
    }
    // A fix metres north of the target.
    void at(double metresNorth)
    {
        clock += 31;
        fix(49.0 + metresNorth / 111195.0, 16.0);
    }
    RecordingSoundPlayer sound;
    ProximityAlert alert;
};

TEST_F(AlertTest, SoundsOncePerApproach)
{
    at(40);
    EXPECT_TRUE(sound.played().empty());
    at(29);
    EXPECT_EQ(sound.played().size(), 1u);
    at(25);
    at(50); // not yet beyond 54 m
    at(20);
    EXPECT_EQ(sound.played().size(), 1u);
    at(60);
    at(10);
    ASSERT_EQ(sound.played().size(), 2u);
    EXPECT_EQ(sound.played()[1], "/sounds/alarm.wav");
}

TEST_F(AlertTest, FeetWithoutMetricUnits)
{
    ProximityAlert::Config c = alert.config();
    c.metricUnits = false;
    c.distance = 100; // 30.48 m
    alert.setConfig(c);
    at(31);
    EXPECT_TRUE(sound.played().empty());
    at(30);
    EXPECT_EQ(sound.played().size(), 1u);
}

TEST_F(AlertTest, SilentWithoutRecording)
{
    logger.setRecording(false);
    at(5);
    EXPECT_TRUE(sound.played().empty());
}

} // namespace
} // namespace tw

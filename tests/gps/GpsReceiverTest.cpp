// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's dispatcher fed directly, without a port.
#include "gps/GpsReceiver.h"

#include "platform/RecordingNotifier.h"
#include "tests/geo/RowName.h"
#include "tests/gps/GpsTestSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace tw {
namespace {

using test::RecordingFixSink;

class ReceiverTest : public ::testing::Test {
protected:
    ReceiverTest() { receiver.setFixSink(&sink); }
    void send(const std::string& line) { receiver.dispatchLine(line); }

    RecordingNotifier notifier;
    RecordingFixSink sink;
    GpsReceiver receiver{notifier};
};

TEST_F(ReceiverTest, GgaWithoutFixChangesNothingButCountsAsReception)
{
    receiver.setPosition(49.5, 16.5);
    send("$GPGGA,,,,,,0,00,,,M,,M,,*66");
    const GpsSnapshot s = receiver.snapshot();
    EXPECT_TRUE(s.receiving);
    EXPECT_DOUBLE_EQ(s.latitude, 49.5);
    EXPECT_DOUBLE_EQ(s.longitude, 16.5);
    EXPECT_TRUE(sink.fixes().empty());
}

TEST_F(ReceiverTest, GgaHandsPositionWithTheLastGsaHdopToTheLogger)
{
    send("$GPGSA,A,3,01,,,,13,20,22,,,,28,,3.1,2.1,2.0*3A");
    send("$GPRMC,225308,A,4527.458,S,16709.165,E,010.0,094.5,060601,024.1,E*6C");
    send("$GPGGA,225308,4527.458,S,16709.165,E,1,05,9.9,14.7,M,1.1,M,,");
    ASSERT_EQ(sink.fixes().size(), 1u);
    const GpsFix fix = sink.fixes()[0];
    EXPECT_NEAR(fix.latitude, -45.4576333, 1e-6);
    EXPECT_DOUBLE_EQ(fix.hdop, 2.1);
    EXPECT_EQ(fix.satsUsed, 5);
    EXPECT_DOUBLE_EQ(fix.speedKmh, 18.52);
    EXPECT_EQ(receiver.satsUsed(), 5);
}

TEST_F(ReceiverTest, WrongChecksumIsDropped)
{
    send("$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D");
    send("$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53");
    send("$GPGGA,225310,4627.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53");
    EXPECT_EQ(sink.fixes().size(), 1u);
    EXPECT_NEAR(receiver.snapshot().latitude, -45.4576333, 1e-6);
}

TEST_F(ReceiverTest, PositionOffTheGlobeIsDropped)
{
    receiver.setPosition(49.5, 16.5);
    send("$GPGGA,225308,99000.000,N,01600.000,E,1,05,2.1,14.7,M,1.1,M,,");  // 990 degrees
    send("$GPGGA,225308,4900.000,N,18100.000,W,1,05,2.1,14.7,M,1.1,M,,");   // 181 degrees
    send("$GPRMC,225308,A,9100.000,S,01600.000,E,000.0,094.5,060601,,");    // 91 degrees
    send("$GPRMC,225308,A,4900.000,N,18030.000,E,000.0,094.5,060601,,");    // 180.5 degrees
    EXPECT_TRUE(sink.fixes().empty());
    EXPECT_DOUBLE_EQ(receiver.snapshot().latitude, 49.5);
    EXPECT_DOUBLE_EQ(receiver.snapshot().longitude, 16.5);
    EXPECT_EQ(receiver.satsUsed(), 0);
    // The poles and the date line are on it.
    send("$GPRMC,225309,A,9000.000,S,18000.000,W,000.0,094.5,060601,,");
    send("$GPGGA,225309,9000.000,S,18000.000,W,1,05,2.1,14.7,M,1.1,M,,");
    ASSERT_EQ(sink.fixes().size(), 1u);
    EXPECT_DOUBLE_EQ(receiver.snapshot().latitude, -90.0);
    EXPECT_DOUBLE_EQ(receiver.snapshot().longitude, -180.0);
}

TEST_F(ReceiverTest, MultiSystemTalkerGivesPositions)
{
    send("$GNRMC,000941.00,A,4404.13387,N,12118.85628,W,0.029,,100117,,,A*7D");
    send("$GNGGA,000941.00,4404.13387,N,12118.85628,W,1,12,1.01,1144.8,M,-21.4,M,,*4D");
    ASSERT_EQ(sink.fixes().size(), 1u);
    EXPECT_NEAR(sink.fixes()[0].longitude, -121.314271333, 1e-9);
    EXPECT_TRUE(receiver.snapshot().hasPosition());
}

// A receiver log in rows: which of its positions are real fixes.
struct FixRow {
    std::string name;
    std::vector<std::string> lines;
    std::size_t fixes; // handed to the track logger
    bool hasPosition;  // at the end
};

class FixRowTest : public ReceiverTest, public ::testing::WithParamInterface<FixRow> {};

TEST_P(FixRowTest, OnlyRealFixesReachTheTrackAndTheScreens)
{
    for (const std::string& line : GetParam().lines)
        send(line);
    EXPECT_EQ(sink.fixes().size(), GetParam().fixes);
    EXPECT_EQ(receiver.snapshot().hasPosition(), GetParam().hasPosition);
    for (const GpsFix& f : sink.fixes())
        EXPECT_NEAR(f.latitude, 49.2, 0.01) << "only the real fixes at 49.2 N are ones";
}

// A void or made-up position lies elsewhere (49.5 N), so that it shows if used.
INSTANTIATE_TEST_SUITE_P(
    Receivers, FixRowTest,
    ::testing::Values(
        FixRow{"RmcVoidAndGgaWithoutFix",
               {"$GPRMC,101500,V,4930.000,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101500,4930.000,N,01636.000,E,0,00,50.0,250.0,M,,M,,",
                "$GPRMC,101502,V,4930.000,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101502,4930.000,N,01636.000,E,0,00,50.0,250.0,M,,M,,"},
               0, false},
        FixRow{"RmcVoidAlone",
               {"$GPRMC,101500,V,4930.000,N,01636.000,E,0.0,,150624,,",
                "$GPRMC,101502,V,4930.000,N,01636.000,E,0.0,,150624,,",
                "$GPRMC,101504,V,4930.000,N,01636.000,E,0.0,,150624,,"},
               0, false},
        FixRow{"GgaDeadReckoning",
               {"$GPRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,,A",
                "$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPRMC,101502,A,4930.000,N,01636.000,E,0.0,,150624,,,E",
                "$GPGGA,101502,4930.000,N,01636.000,E,6,05,1.2,250.0,M,,M,,",
                "$GPRMC,101504,A,4930.000,N,01636.000,E,0.0,,150624,,,E",
                "$GPGGA,101504,4930.000,N,01636.000,E,6,05,1.2,250.0,M,,M,,"},
               1, false},
        FixRow{"GgaManualAndSimulator",
               {"$GPGGA,101500,4930.000,N,01636.000,E,7,05,1.2,250.0,M,,M,,",
                "$GPGGA,101502,4930.000,N,01636.000,E,8,05,1.2,250.0,M,,M,,",
                "$GPGGA,101504,4930.000,N,01636.000,E,8,05,1.2,250.0,M,,M,,"},
               0, false},
        FixRow{"RmcModeSimulatorOrNotValid",
               {"$GPRMC,101500,A,4930.000,N,01636.000,E,0.0,,150624,,,S",
                "$GPRMC,101502,A,4930.000,N,01636.000,E,0.0,,150624,,,N",
                "$GPRMC,101504,A,4930.000,N,01636.000,E,0.0,,150624,,,S"},
               0, false},
        FixRow{"GsaSaysNoFixForItsCycle",
               {"$GPGGA,101500,4930.000,N,01636.000,E,1,03,9.9,250.0,M,,M,,", "$GPGSA,A,1,,,,,,,,,,,,,9.9,9.9,9.9",
                "$GPRMC,101500,A,4930.000,N,01636.000,E,0.0,,150624,,",
                // The next cycle has a fix, as its GSA says after it.
                "$GPGGA,101502,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPGSA,A,3,01,02,03,04,05,,,,,,,,2.0,1.2,1.6",
                "$GPRMC,101502,A,4912.000,N,01636.000,E,0.0,,150624,,"},
               1, true},
        FixRow{"RmcOnly",
               {"$GPRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,",
                "$GPRMC,101502,A,4912.010,N,01636.000,E,0.0,,150624,,",
                "$GPRMC,101504,A,4912.020,N,01636.000,E,0.0,,150624,,"},
               3, true},
        FixRow{"RmcOnlyOtherSystems",
               {"$GLRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,",
                "$GARMC,101502,A,4912.010,N,01636.000,E,0.0,,150624,,",
                "$GBRMC,101504,A,4912.020,N,01636.000,E,0.0,,150624,,",
                "$BDRMC,101506,A,4912.030,N,01636.000,E,0.0,,150624,,"},
               4, true},
        FixRow{"RmcFirstThenGgaGivesOnePerCycle",
               {"$GPRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPRMC,101502,A,4912.010,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101502,4912.010,N,01636.000,E,1,05,1.2,250.0,M,,M,,"},
               2, true},
        FixRow{"GgaFirstThenRmcGivesOnePerCycle",
               {"$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPGSA,A,3,01,02,03,04,05,,,,,,,,2.0,1.2,1.6",
                "$GPRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101502,4912.010,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPGSA,A,3,01,02,03,04,05,,,,,,,,2.0,1.2,1.6",
                "$GPRMC,101502,A,4912.010,N,01636.000,E,0.0,,150624,,"},
               2, true},
        FixRow{"GgaWithNoSatellitesCounted",
               {"$GPRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101500,4912.000,N,01636.000,E,1,00,1.2,250.0,M,,M,,",
                "$GPRMC,101502,A,4912.010,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101502,4912.010,N,01636.000,E,2,00,1.2,250.0,M,,M,,"},
               2, true},
        FixRow{"GgaOnly",
               {"$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPGGA,101502,4912.010,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPGGA,101504,4912.020,N,01636.000,E,1,05,1.2,250.0,M,,M,,"},
               3, true},
        FixRow{"FixLost",
               {"$GPRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,",
                "$GPRMC,101502,V,4930.000,N,01636.000,E,0.0,,150624,,",
                "$GPGGA,101502,4930.000,N,01636.000,E,0,00,1.2,250.0,M,,M,,"},
               1, false}),
    test::RowName());

TEST_F(ReceiverTest, NoRealFixLeavesTheLastPositionAndGreysIt)
{
    send("$GPRMC,101500,A,4912.000,N,01636.000,E,0.0,,150624,,");
    send("$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,");
    send("$GPRMC,101502,V,4930.000,N,01636.000,E,0.0,,150624,,");
    send("$GPGGA,101502,4930.000,N,01636.000,E,6,05,1.2,999.0,M,,M,,");
    const GpsSnapshot s = receiver.snapshot();
    EXPECT_DOUBLE_EQ(s.latitude, 49.2);
    EXPECT_DOUBLE_EQ(s.altitudeM, 250.0);
    EXPECT_FALSE(s.hasPosition());
    EXPECT_FALSE(receiver.liveFix().hasFix);
}

TEST_F(ReceiverTest, RmcOnlyReceiverGivesAUsablePosition)
{
    send("$GPRMC,225308,A,4527.458,S,16709.165,E,010.0,094.5,060601,024.1,E*6C");
    const GpsSnapshot s = receiver.snapshot();
    EXPECT_NEAR(s.latitude, -45.4576333, 1e-6);
    EXPECT_EQ(s.satsUsed, 0);
    EXPECT_TRUE(s.hasPosition());
    EXPECT_TRUE(receiver.liveFix().hasFix);
    send("$GPRMC,225310,A,4527.459,S,16709.165,E,010.0,094.5,060601,024.1,E");
    ASSERT_EQ(sink.fixes().size(), 2u);
    EXPECT_DOUBLE_EQ(sink.fixes()[1].speedKmh, 18.52);
    EXPECT_DOUBLE_EQ(sink.fixes()[1].altitudeM, 0.0);
}

// Midnights in seconds since 1970 (UTC).
constexpr std::time_t k2001June6 = 991785600;   // 2001-06-06 00:00:00
constexpr std::time_t k2024June15 = 1718409600; // 2024-06-15 00:00:00

std::vector<std::time_t> timesOf(const std::vector<GpsFix>& fixes)
{
    std::vector<std::time_t> times;
    for (const GpsFix& f : fixes)
        times.push_back(f.utcTime.value_or(-1));
    return times;
}

TEST_F(ReceiverTest, FixesCarryTheReceiversDateAndTime)
{
    // GGA before RMC: the first GGA waits for the date of its cycle.
    send("$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53");
    EXPECT_TRUE(sink.fixes().empty());
    send("$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D");
    send("$GPGGA,225310.75,4527.468,S,16709.165,E,1,05,2.1,14.6,M,1.1,M,,");
    const std::time_t minute = k2001June6 + 22 * 3600 + 53 * 60;
    EXPECT_EQ(timesOf(sink.fixes()), (std::vector<std::time_t>{minute + 8, minute + 10}));
}

TEST_F(ReceiverTest, GgaAfterMidnightIsTheNextDay)
{
    send("$GPRMC,235958,A,4912.000,N,01636.000,E,0.0,,140624,,");
    send("$GPGGA,235958,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,");
    send("$GPGGA,000000,4912.010,N,01636.000,E,1,05,1.2,250.0,M,,M,,"); // its RMC was lost
    send("$GPGGA,000002,4912.020,N,01636.000,E,1,05,1.2,250.0,M,,M,,");
    // An RMC that still has the old day while the GGA after it has the new one.
    send("$GPRMC,235959,A,4912.020,N,01636.000,E,0.0,,140624,,");
    send("$GPGGA,000004,4912.030,N,01636.000,E,1,05,1.2,250.0,M,,M,,");
    EXPECT_EQ(timesOf(sink.fixes()),
              (std::vector<std::time_t>{k2024June15 - 2, k2024June15, k2024June15 + 2, k2024June15 + 4}));
}

TEST_F(ReceiverTest, WithoutRmcOnlyTheTimeOfDayIsKnown)
{
    send("$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.2,250.0,M,,M,,");
    send("$GPGGA,101502.5,4912.010,N,01636.000,E,1,05,1.2,250.0,M,,M,,");
    send("$GPGGA,999999,4912.020,N,01636.000,E,1,05,1.2,250.0,M,,M,,"); // no time of day
    const auto fixes = sink.fixes();
    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_FALSE(fixes[0].utcTime);
    EXPECT_EQ(fixes[0].utcSecondOfDay, 10 * 3600 + 15 * 60);
    EXPECT_EQ(fixes[1].utcSecondOfDay, 10 * 3600 + 15 * 60 + 2);
    EXPECT_FALSE(fixes[2].utcTime || fixes[2].utcSecondOfDay) << "the logger's clock stands in";
}

TEST_F(ReceiverTest, HdopComesFromGgaUntilAGsaSendsOne)
{
    send("$GPGGA,101500,4912.000,N,01636.000,E,1,05,1.7,250.0,M,,M,,");
    send("$GPGGA,101502,4912.010,N,01636.000,E,1,05,1.3,250.0,M,,M,,");
    EXPECT_DOUBLE_EQ(receiver.snapshot().hdop, 1.3);
    send("$GPGSA,A,3,01,02,03,04,05,,,,,,,,2.0,0.9,1.6");
    send("$GPGGA,101504,4912.020,N,01636.000,E,1,05,1.3,250.0,M,,M,,");
    const auto fixes = sink.fixes();
    ASSERT_EQ(fixes.size(), 3u);
    EXPECT_DOUBLE_EQ(fixes[0].hdop, 1.7);
    EXPECT_DOUBLE_EQ(fixes[1].hdop, 1.3);
    EXPECT_DOUBLE_EQ(fixes[2].hdop, 0.9);
    EXPECT_DOUBLE_EQ(receiver.snapshot().hdop, 0.9);
}

TEST_F(ReceiverTest, GsvCycleOfTenSatellitesFillsTenSlotsAndClearsTheRest)
{
    send("$GPGSV,3,1,10,01,78,221,47,03,09,042,00,04,05,242,00,06,04,149,00");
    send("$GPGSV,3,2,10,13,37,235,48,20,41,333,46,22,65,081,46,24,02,205,00");
    send("$GPGSV,3,3,10,25,20,108,00,28,17,339,39");
    EXPECT_EQ(receiver.satsInView(), 10);
    // The table becomes visible once a GSA has come as well.
    EXPECT_EQ(receiver.snapshot().satellites[0].prn, -1);
    send("$GPGSA,A,3,01,,,,13,20,22,,,,28,,3.1,2.1,2.0");
    const SatelliteTable t = receiver.snapshot().satellites;
    EXPECT_EQ(t[0].prn, 1);
    EXPECT_TRUE(t[0].used);
    EXPECT_FALSE(t[1].used);
    EXPECT_EQ(t[9].prn, 28);
    EXPECT_EQ(t[9].snrDb, 39);
    EXPECT_TRUE(t[9].used);
    for (int i = 10; i < kSatelliteSlots; ++i)
        EXPECT_EQ(t[static_cast<std::size_t>(i)].prn, -1) << "slot " << i;
}

TEST_F(ReceiverTest, SecondGsaOfACycleAddsToTheUsedFlags)
{
    // A multi-system receiver's cycle: one GSA per system, then the sky view.
    for (int cycle = 0; cycle < 2; ++cycle) {
        send("$GNGSA,A,3,01,,,,,,,,,,,,1.7,1.0,1.4");
        send("$GNGSA,A,3,70,,,,,,,,,,,,1.7,1.0,1.4");
        send("$GPGSV,1,1,02,01,78,221,47,70,09,042,30");
    }
    const SatelliteTable t = receiver.snapshot().satellites;
    EXPECT_TRUE(t[0].used);
    EXPECT_TRUE(t[1].used);
}

TEST_F(ReceiverTest, SatelliteCountChangesAreAnnounced)
{
    send("$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,");
    const auto before = notifier.topics().size();
    send("$GPGGA,225309,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,");
    EXPECT_EQ(notifier.topics().size(), before);
    send("$GPGGA,225310,4527.458,S,16709.165,E,1,06,2.1,14.7,M,1.1,M,,");
    EXPECT_EQ(notifier.topics().size(), before + 1);
}

struct HostileRow {
    std::string name;
    std::string line;
};

class HostileGsvTest : public ReceiverTest, public ::testing::WithParamInterface<HostileRow> {};

// Under the address sanitizer any write outside the 24 slots fails the run.
TEST_P(HostileGsvTest, NeverWritesOutsideTheTable)
{
    send("$GPGSV,1,1,01,07,10,100,20");
    send("$GPGSA,A,3,07,,,,,,,,,,,,1.0,1.0,1.0");
    send(GetParam().line);
    send("$GPGSA,A,3,07,,,,,,,,,,,,1.0,1.0,1.0");
    for (const SatelliteInfo& s : receiver.snapshot().satellites)
        EXPECT_LE(s.prn, 99);
    EXPECT_GE(receiver.satsInView(), 0);
    EXPECT_LE(receiver.satsInView(), kSatelliteSlots);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, HostileGsvTest,
    ::testing::Values(HostileRow{"MessageZero", "$GPGSV,0,0,04,01,02,03,04,05,06,07,08"},
                      HostileRow{"MessageMinusOne", "$GPGSV,-1,-1,04,01,02,03,04,05,06,07,08"},
                      HostileRow{"MessageIntMax", "$GPGSV,2147483647,2147483647,4,01,02,03,04"},
                      HostileRow{"MessageIntMin", "$GPGSV,-2147483648,-2147483648,4,01,02,03,04"},
                      HostileRow{"MessageHuge", "$GPGSV,99999999999,99999999999,4,01,02,03,04"},
                      HostileRow{"LastSlotOverrun", "$GPGSV,6,6,24," + std::string(200, '9')},
                      HostileRow{"LongRest", "$GPGSV,1,1,99," + std::string(500, ',')},
                      HostileRow{"NoRest", "$GPGSV,1,1,4"}),
    test::RowName());

TEST_F(ReceiverTest, RandomBytesNeverHideTheNextSentence)
{
    std::mt19937 random(20240601);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 600);
    std::size_t total = 0;
    int sent = 0;
    while (total < (1u << 20)) {
        std::string noise(static_cast<std::size_t>(length(random)), '\0');
        for (char& c : noise)
            c = static_cast<char>(byte(random));
        total += noise.size();
        ++sent;
        // A latitude that says which sentence it was (below 80 degrees).
        const std::string lat = std::to_string(4000 + sent % 4000) + ".000";
        receiver.feed(noise + "\r\n$GPGGA,120000," + lat + ",N,01600.000,E,1,05,2.1,300.0,M,,M,,\r\n");
    }
    const auto fixes = sink.fixes();
    ASSERT_EQ(fixes.size(), static_cast<std::size_t>(sent));
    for (int i = 0; i < sent; ++i) {
        const int n = 4000 + (i + 1) % 4000;
        ASSERT_NEAR(fixes[static_cast<std::size_t>(i)].latitude, n / 100 + (n % 100) / 60.0, 1e-9) << i;
    }
}

TEST_F(ReceiverTest, OverlongSentenceIsReportedAndTheNextOneParsed)
{
    EXPECT_FALSE(receiver.feed("$GPGGA," + std::string(300, '1')));
    EXPECT_TRUE(receiver.feed("\r\n$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D\r\n"
                              "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53\r\n"));
    EXPECT_EQ(sink.fixes().size(), 1u);
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver's dispatcher fed directly, without a port.
#include "gps/GpsReceiver.h"

#include "platform/RecordingNotifier.h"
#include "tests/geo/RowName.h"
#include "tests/gps/GpsTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

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
    send("$GPGGA,225308,9000.000,S,18000.000,W,1,05,2.1,14.7,M,1.1,M,,"); // the poles and the date line are on it
    ASSERT_EQ(sink.fixes().size(), 1u);
    EXPECT_DOUBLE_EQ(receiver.snapshot().latitude, -90.0);
    EXPECT_DOUBLE_EQ(receiver.snapshot().longitude, -180.0);
}

TEST_F(ReceiverTest, MultiSystemTalkerGivesPositions)
{
    send("$GNGGA,000941.00,4404.13387,N,12118.85628,W,1,12,1.01,1144.8,M,-21.4,M,,*4D");
    ASSERT_EQ(sink.fixes().size(), 1u);
    EXPECT_NEAR(sink.fixes()[0].longitude, -121.314271333, 1e-9);
    EXPECT_TRUE(receiver.snapshot().hasPosition());
}

TEST_F(ReceiverTest, OnlyRmcNeverGivesAUsablePosition)
{
    send("$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D");
    const GpsSnapshot s = receiver.snapshot();
    EXPECT_NE(s.latitude, 0.0);
    EXPECT_EQ(s.satsUsed, 0);
    EXPECT_FALSE(s.hasPosition());
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
    EXPECT_TRUE(receiver.feed("\r\n$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53\r\n"));
    EXPECT_EQ(sink.fixes().size(), 1u);
}

} // namespace
} // namespace tw

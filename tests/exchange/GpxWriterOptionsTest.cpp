// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/GpxWriter.h"
#include "tests/TestSupport.h"

namespace tw {
namespace {

// What one cache with three logs and a waypoint of a long name writes.
std::string written(GpxWriterOptions options)
{
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    GpxWriter writer(out, options);
    CGeocache c;
    c.code = "GC12345";
    c.name = "Most";
    for (int n = 0; n < 3; ++n) {
        auto log = std::make_unique<CGeoLog>();
        log->logId = n + 1;
        log->date = 20260103 - n;
        log->text = "log" + std::to_string(n + 1);
        c.logs.push_back(std::move(log));
    }
    auto w = std::make_unique<CWaypoint>();
    w->prefix = "ŠTÁDIONOVÝ";
    w->code = c.code;
    c.waypoints.push_back(std::move(w));
    writer.cache(c);
    EXPECT_EQ(writer.waypoints(), 1);
    std::fclose(out);
    std::string text(buffer, size);
    std::free(buffer);
    EXPECT_EQ(writer.bytes(), text.size());
    return text;
}

TEST(GpxWriterOptions, LogsAndWaypointNamesAreCutOnlyWhenAsked)
{
    const std::string all = written({});
    EXPECT_NE(all.find("log3"), std::string::npos);
    EXPECT_NE(all.find("<name>ŠTÁDIONOVÝ12345</name>"), std::string::npos);

    const std::string device = written({.maxLogs = 2, .maxWaypointNameLength = kDeviceWaypointNameLength});
    EXPECT_NE(device.find("log1"), std::string::npos);
    EXPECT_NE(device.find("log2"), std::string::npos);
    EXPECT_EQ(device.find("log3"), std::string::npos);
    // 14 characters, not bytes: the letters with accents count once.
    EXPECT_NE(device.find("<name>ŠTÁDIONOVÝ1234</name>"), std::string::npos) << device;
    EXPECT_NE(device.find("<name>GC12345</name>"), std::string::npos);
    EXPECT_EQ(written({.maxLogs = 0}).find("<groundspeak:log "), std::string::npos);
}

TEST(GpxWriterOptions, Utf8PrefixEndsOnAWholeCharacter)
{
    EXPECT_EQ(utf8Prefix("abc", 5), "abc");
    EXPECT_EQ(utf8Prefix("abčd", 2), "ab");
    EXPECT_EQ(utf8Prefix("abčd", 3), "abč");
    EXPECT_EQ(utf8Prefix("abčd", 4), "abčd");
    EXPECT_EQ(utf8Prefix("", 0), "");
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
// Tracks recorded from real receiver logs: every point is a fix that
// another program decoded from the same log, at its position and time.
#include "gps/CTrackLogger.h"
#include "gps/GpsReceiver.h"

#include "db/Database.h"
#include "platform/RecordingNotifier.h"
#include "platform/RecordingPrompter.h"
#include "tests/TestSupport.h"
#include "tests/gps/GpsTestSupport.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

namespace tw {
namespace {

// A fix as the check file reports it: gpsd's TPV with a mode of 2 or 3.
struct CheckedFix {
    std::time_t time = 0; // whole seconds, UTC
    double lat = 0, lon = 0;
};

std::optional<std::time_t> isoSeconds(const std::string& iso)
{
    std::tm tm{};
    if (iso.size() < 19 || !strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%S", &tm))
        return std::nullopt;
    return ::timegm(&tm);
}

std::vector<CheckedFix> checkedFixes(const std::vector<std::string>& check)
{
    std::vector<CheckedFix> fixes;
    for (const std::string& line : check) {
        if (line.find("\"class\":\"TPV\"") == std::string::npos || test::jsonNumber(line, "mode").value_or(0) < 2)
            continue;
        const auto time = test::jsonText(line, "time");
        const auto lat = test::jsonNumber(line, "lat");
        const auto lon = test::jsonNumber(line, "lon");
        if (time && lat && lon)
            if (const auto t = isoSeconds(*time))
                fixes.push_back({*t, *lat, *lon});
    }
    return fixes;
}

class CorpusTrackTest : public test::TempDirTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(CorpusTrackTest, EveryPointIsACheckedFixAtItsTime)
{
    TW_REQUIRE_CORPUS();
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    const std::string name = GetParam();
    const auto nmea = test::corpusDir() / "nmea";
    const auto log = test::captureLines(test::readFile(nmea / name));
    const auto checked = checkedFixes(test::captureLines(test::readFile(nmea / (name + ".chk"))));

    RecordingPrompter prompter;
    RecordingNotifier notifier;
    SQLite::Database db(&prompter);
    ASSERT_EQ(db.OpenFile((dir / "$tarnwick.db3").string()), SQLITE_OK);
    CTrackLogger logger(db, prompter);
    // Replayed long after: no point may take the day from the clock.
    logger.setClock([] { return std::time_t{2000000000}; });
    logger.setRecording(true);
    ASSERT_TRUE(logger.openTrackLog());
    GpsReceiver receiver(notifier);
    receiver.setFixSink(&logger);
    for (const std::string& line : log)
        receiver.feed(line);
    const auto points = logger.trackPoints(logger.currentTrackId());

    // What the receiver hands on, before the logger leaves out the points of
    // a receiver standing still. The other program reports a cycle when the
    // next one begins, so the last cycle of a log, and cycles it merged
    // (one receiver's GLL runs a second ahead), have no time of their own in
    // the check file: those fixes are still at a checked position, on the
    // checked day.
    GpsReceiver again(notifier);
    test::RecordingFixSink sink;
    again.setFixSink(&sink);
    for (const std::string& line : log)
        again.feed(line);
    std::set<std::time_t> fixTimes;
    std::size_t atCheckedTimes = 0;
    for (const GpsFix& f : sink.fixes()) {
        ASSERT_TRUE(f.utcTime) << name << ": every log has dates";
        fixTimes.insert(*f.utcTime);
        bool atItsTime = false, atAPosition = false, onTheDay = false;
        for (const CheckedFix& c : checked) {
            const bool here = std::abs(c.lat - f.latitude) < 1e-6 && std::abs(c.lon - f.longitude) < 1e-6;
            atItsTime = atItsTime || (here && c.time == *f.utcTime);
            atAPosition = atAPosition || here;
            onTheDay = onTheDay || std::abs(c.time - *f.utcTime) <= 60;
        }
        atCheckedTimes += atItsTime ? 1 : 0;
        EXPECT_TRUE(atAPosition && onTheDay)
            << name << ": a fix at " << f.latitude << ", " << f.longitude << " at " << *f.utcTime << " is no fix of the log";
    }
    EXPECT_EQ(fixTimes.size(), sink.fixes().size()) << name << ": one fix per cycle";
    std::printf("%s: %zu fixes handed on, %zu at a checked time\n", name.c_str(), fixTimes.size(), atCheckedTimes);

    for (const TrackPoint& p : points) {
        bool listed = false;
        for (const CheckedFix& c : checked)
            listed = listed || (c.time == p.time && std::abs(c.lat - p.lat) < 1e-6 && std::abs(c.lon - p.lon) < 1e-6);
        EXPECT_TRUE(listed) << name << ": a point at " << p.lat << ", " << p.lon << " at " << p.time
                            << " is no fix of the log";
    }
    // Each of these receivers had a fix for a while, but the one that never had.
    if (name.rfind("holux", 0) == 0) {
        EXPECT_TRUE(checked.empty());
        EXPECT_TRUE(points.empty());
    } else {
        EXPECT_FALSE(points.empty()) << name;
    }
    EXPECT_TRUE(prompter.messages().empty());
    std::printf("%s: %zu points, all among %zu checked fixes\n", name.c_str(), points.size(), checked.size());
}

INSTANTIATE_TEST_SUITE_P(Captures, CorpusTrackTest,
                         ::testing::Values("bu353s4.log", "foretrex-201.log", "garmin48.log", "holux-gm-210.log",
                                           "magellan315.log", "ublox-8.log"),
                         [](const auto& row) {
                             std::string out;
                             for (const char c : std::string(row.param))
                                 if (c == '.')
                                     break;
                                 else if (std::isalnum(static_cast<unsigned char>(c)))
                                     out += c;
                             return out;
                         });

} // namespace
} // namespace tw

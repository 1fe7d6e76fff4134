// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver on real descriptors: pseudo-terminals playing receiver
// captures, a recorded log, and a gpsd stand-in on the loopback interface.
#include "app/LanguageTable.h"
#include "gps/GpsReceiver.h"

#include "gps/NmeaPort.h"
#include "platform/RecordingNotifier.h"
#include "tests/TestSupport.h"
#include "tests/gps/GpsTestSupport.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netdb.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tw {
namespace {

using namespace std::chrono_literals;
using test::FakeReceiver;
using test::jsonNumber;
using test::RecordingFixSink;

// One sentence as the receiver left the state, recorded by the observer.
struct Seen {
    std::string line;
    GpsSnapshot state;
};

class SeenLog {
public:
    void attach(GpsReceiver& r)
    {
        r.setSentenceObserver([this](std::string_view line, const GpsSnapshot& s) {
            std::lock_guard lock(m_mutex);
            m_seen.push_back({std::string(line), s});
        });
    }
    std::vector<Seen> seen() const
    {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    // Waits until a sentence equal to line has been dispatched.
    bool waitFor(const std::string& line, std::chrono::milliseconds timeout)
    {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            for (const Seen& s : seen())
                if (s.line == line)
                    return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Seen> m_seen;
};

std::string trimEnd(std::string s)
{
    while (!s.empty() && (s.back() == '\r' || s.back() == '\n'))
        s.pop_back();
    return s;
}

class CaptureTest : public ::testing::TestWithParam<const char*> {};

// The decoded values in the capture's check file come from another program:
// positions and altitude after each GGA, DOPs after each GSA.
TEST_P(CaptureTest, PlayedThroughATerminalGivesTheCheckedValues)
{
    TW_REQUIRE_CORPUS();
    const auto dir = test::corpusDir();
    const std::string name = GetParam();
    const auto capture = test::captureLines(test::readFile(dir / "nmea" / name));
    const auto check = test::captureLines(test::readFile(dir / "nmea" / (name + ".chk")));
    ASSERT_FALSE(capture.empty());

    RecordingNotifier notifier;
    RecordingFixSink sink;
    GpsReceiver receiver(notifier);
    receiver.setFixSink(&sink);
    SeenLog log;
    log.attach(receiver);
    FakeReceiver device;
    ASSERT_TRUE(receiver.Start(device.slaveName(), 4800));
    std::string all;
    for (const std::string& l : capture)
        all += l;
    device.send(all);
    // The last whole sentence of the capture (some end in a cut-off line).
    std::string last;
    for (const std::string& l : capture)
        if (!l.empty() && l.back() == '\n' && l.front() == '$')
            last = trimEnd(l);
    ASSERT_TRUE(log.waitFor(last, 10s)) << "the capture did not arrive";
    receiver.Stop();

    const auto seen = log.seen();
    std::size_t at = 0;
    int positions = 0, dops = 0;
    for (const Seen& s : seen) {
        std::size_t k = at;
        while (k < check.size() && trimEnd(check[k]) != s.line)
            ++k;
        if (k == check.size())
            continue; // a sentence the other program did not echo
        at = k + 1;
        const std::string type = s.line.substr(3, 3);
        if (type == "GGA") {
            // The other program reports a position once per cycle, often
            // after the cycle's last sentence: the first one before the next
            // GGA belongs to this one.
            for (std::size_t j = at; j < check.size(); ++j) {
                const std::string& c = check[j];
                if (c.front() == '$') {
                    const std::string t = c.substr(3, 3);
                    if (t == "GGA")
                        break;
                    continue;
                }
                if (c.find("\"class\":\"TPV\"") == std::string::npos || !jsonNumber(c, "lat"))
                    continue;
                EXPECT_NEAR(s.state.latitude, *jsonNumber(c, "lat"), 1e-6) << s.line;
                EXPECT_NEAR(s.state.longitude, *jsonNumber(c, "lon"), 1e-6) << s.line;
                if (const auto alt = jsonNumber(c, "altMSL")) {
                    EXPECT_NEAR(s.state.altitudeM, *alt, 1e-6) << s.line;
                }
                ++positions;
                break;
            }
        }
        for (std::size_t j = at; type == "GSA" && j < check.size() && check[j].front() == '{'; ++j) {
            const std::string& json = check[j];
            if (json.find("\"class\":\"SKY\"") != std::string::npos && jsonNumber(json, "pdop")) {
                EXPECT_NEAR(s.state.pdop, *jsonNumber(json, "pdop"), 1e-6) << s.line;
                EXPECT_NEAR(s.state.hdop, *jsonNumber(json, "hdop"), 1e-6) << s.line;
                EXPECT_NEAR(s.state.vdop, *jsonNumber(json, "vdop"), 1e-6) << s.line;
                ++dops;
            }
        }
    }
    EXPECT_GT(positions + dops, 0) << "nothing was compared";
    if (name.rfind("holux", 0) != 0) { // that receiver never had a fix
        EXPECT_FALSE(sink.fixes().empty());
    }
    std::printf("%s: %d positions and %d DOP sets compared\n", name.c_str(), positions, dops);
}

INSTANTIATE_TEST_SUITE_P(Captures, CaptureTest,
                         ::testing::Values("bu353s4.log", "foretrex-201.log", "garmin48.log",
                                           "holux-gm-210.log", "magellan315.log", "ublox-8.log"),
                         [](const auto& row) {
                             std::string n = row.param;
                             std::string out;
                             for (char c : n.substr(0, n.find('.')))
                                 if (std::isalnum(static_cast<unsigned char>(c)))
                                     out += c;
                             return out;
                         });

// Polls the condition every 5 ms for up to `limit`; true once it holds.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Descriptors of this process open on the file at path.
int openersOf(const std::string& path)
{
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        n += std::filesystem::read_symlink(e.path(), ec) == path ? 1 : 0;
    }
    return n;
}

// The ids of this process's threads.
std::set<std::string> threadIds()
{
    std::set<std::string> ids;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
        ids.insert(e.path().filename().string());
    return ids;
}

// Every thread started since `before` sleeps in the kernel (state S), as a
// reader does while it waits for its port.
bool newThreadsSleep(const std::set<std::string>& before)
{
    bool any = false;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/task")) {
        if (before.count(e.path().filename().string()))
            continue;
        std::ifstream in(e.path() / "stat");
        std::string stat;
        std::getline(in, stat);
        // "tid (name) S ...": the name may hold blanks and brackets.
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 2 >= stat.size() || stat[close + 2] != 'S')
            return false;
        any = true;
    }
    return any;
}

class PortTest : public ::testing::Test {
protected:
    PortTest() { receiver.setFixSink(&sink); }
    RecordingNotifier notifier;
    RecordingFixSink sink;
    GpsReceiver receiver{notifier};
};

// One cycle of a receiver: the RMC gives the date the GGA's fix is recorded with.
constexpr const char* kGga = "$GPRMC,225308,A,4527.458,S,16709.165,E,000.0,094.5,060601,024.1,E*6D\r\n"
                             "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53\r\n";

TEST_F(PortTest, StopEndsTheReaderOnASilentDevice)
{
    FakeReceiver device;
    const std::set<std::string> before = threadIds();
    ASSERT_TRUE(receiver.Start(device.slaveName(), 9600));
    ASSERT_TRUE(eventually([&] { return newThreadsSleep(before); })) << "the reader waits on the silent device";
    // Counted while the reader runs: a sanitizer may add a thread of its own
    // at the first thread start, which stays.
    const int running = test::threadCount();
    const int flushes = sink.flushes();
    const auto start = std::chrono::steady_clock::now();
    receiver.Stop();
    // Only a guard against a stop that hangs; how long a stop takes is
    // measured by gps_stop_bench.
    EXPECT_LT(std::chrono::steady_clock::now() - start, 20s);
    EXPECT_FALSE(receiver.isRunning());
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (test::threadCount() != running - 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(test::threadCount(), running - 1) << "the reader thread has ended";
    EXPECT_EQ(sink.flushes(), flushes + 1) << "the track is flushed";
}

TEST_F(PortTest, HundredStartStopCyclesLeakNothing)
{
    FakeReceiver device;
    const int fds = test::openDescriptorCount();
    const int threads = test::threadCount();
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(receiver.Start(device.slaveName(), 4800));
        if (i % 10 == 0)
            device.send(kGga);
        receiver.Stop();
    }
    EXPECT_EQ(test::openDescriptorCount(), fds);
    EXPECT_EQ(test::threadCount(), threads);
}

TEST_F(PortTest, MissingDeviceFailsWithoutAThread)
{
    testing::internal::CaptureStdout();
    EXPECT_FALSE(receiver.Start("/dev/does-not-exist-tarnwick", 4800));
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, "Unable to open COM port.\nError while opening GPS connection.\n");
    EXPECT_FALSE(receiver.isRunning());

    // The lines follow the program's language.
    LanguageTable czech;
    czech.loadTable(test::runtimeDir(), "cs");
    receiver.setTexts(czech);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(receiver.Start("/dev/does-not-exist-tarnwick", 4800));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Port GPS nelze otevřít.\nChyba při otevírání spojení s GPS.\n");
    receiver.setTexts(englishTexts());
}

TEST_F(PortTest, OverlongLineReopensThePortAndTheNextLineIsParsed)
{
    FakeReceiver device;
    ASSERT_TRUE(receiver.Start(device.slaveName(), 4800));
    device.send("$GPGGA," + std::string(300, '7'));
    // The next line goes out once the reader has taken the overlong one and
    // let go of the port to open it afresh: only the device's own end is open.
    ASSERT_TRUE(eventually([&] { return openersOf(device.slaveName()) == 1; })) << "the port is reopened";
    device.send(std::string("\r\n") + kGga);
    ASSERT_TRUE(sink.waitForFixes(1, 5s));
    EXPECT_NEAR(sink.fixes()[0].latitude, -45.4576333, 1e-6);
    receiver.Stop();
}

TEST_F(PortTest, ReceivingFollowsTheDevice)
{
    FakeReceiver device;
    ASSERT_TRUE(receiver.Start(device.slaveName(), 4800));
    EXPECT_FALSE(receiver.receiving());
    device.send(kGga);
    ASSERT_TRUE(sink.waitForFixes(1, 5s));
    EXPECT_TRUE(receiver.receiving());
    EXPECT_GT(receiver.snapshot().receivingSince, 0);
    device.unplug(); // a hang-up: reconnecting, not receiving
    const auto end = std::chrono::steady_clock::now() + 3s;
    while (receiver.receiving() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    EXPECT_FALSE(receiver.receiving());
    EXPECT_EQ(receiver.satsUsed(), 0);
    EXPECT_NE(receiver.snapshot().latitude, 0.0) << "the last position stays";
    receiver.Stop();
}

class ReplayTest : public test::TempDirTest {};

TEST_F(ReplayTest, PlaysARecordedLogWithoutItsComments)
{
    test::writeFile(dir / "walk.nmea",
                    "# a walk in the park\n"
                    "$GPGGA,100000,4912.000,N,01636.000,E,1,07,1.0,250.0,M,,M,,\n"
                    "#$GPGGA,100000,1111.000,N,01111.000,E,1,07,1.0,250.0,M,,M,,\n"
                    "$GPGGA,100000.5,4912.001,N,01636.000,E,1,07,1.0,251.0,M,,M,,\n");
    RecordingNotifier notifier;
    RecordingFixSink sink;
    GpsReceiver receiver(notifier);
    receiver.setFixSink(&sink);
    ASSERT_TRUE(receiver.Start("replay:" + (dir / "walk.nmea").string(), 0));
    ASSERT_TRUE(sink.waitForFixes(2, 5s));
    const auto fixes = sink.fixes();
    ASSERT_EQ(fixes.size(), 2u);
    EXPECT_NEAR(fixes[0].latitude, 49.2, 1e-9);
    EXPECT_DOUBLE_EQ(fixes[1].altitudeM, 251.0);
    receiver.Stop();
}

TEST_F(ReplayTest, MissingLogFailsToStart)
{
    RecordingNotifier notifier;
    GpsReceiver receiver(notifier);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(receiver.Start("replay:" + (dir / "none.nmea").string(), 0));
    testing::internal::GetCapturedStdout();
}

// A source without line ends (or with nothing at all yet) is read on the
// reader's side: Start and Stop return at once and memory stays put.
TEST_F(ReplayTest, EndlessBytesWithoutLineEndsStayBounded)
{
    RecordingNotifier notifier;
    GpsReceiver receiver(notifier);
    const long rssBefore = test::residentKb();
    const long long readBefore = test::bytesRead();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(receiver.Start("replay:/dev/zero", 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    // Far beyond any line a log holds.
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (test::bytesRead() - readBefore < (1 << 20) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(10ms);
    EXPECT_GE(test::bytesRead() - readBefore, 1 << 20);
    EXPECT_LT(test::residentKb() - rssBefore, 50 * 1024);
    const auto stop = std::chrono::steady_clock::now();
    receiver.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - stop, 2s);
}

TEST_F(ReplayTest, FifoWithoutWriterHoldsUpNeitherStartNorStop)
{
    const std::filesystem::path fifo = dir / "live.nmea";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    RecordingNotifier notifier;
    RecordingFixSink sink;
    GpsReceiver receiver(notifier);
    receiver.setFixSink(&sink);
    for (const bool writer : {false, true}) {
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(receiver.Start("replay:" + fifo.string(), 0));
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        if (writer) { // one that comes later is heard
            const auto end = std::chrono::steady_clock::now() + 5s;
            int fd = -1;
            while ((fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0
                   && std::chrono::steady_clock::now() < end)
                std::this_thread::sleep_for(10ms);
            ASSERT_GE(fd, 0);
            EXPECT_EQ(::write(fd, kGga, std::strlen(kGga)), static_cast<ssize_t>(std::strlen(kGga)));
            ::close(fd);
            EXPECT_TRUE(sink.waitForFixes(1, 5s));
        }
        const auto stop = std::chrono::steady_clock::now();
        receiver.Stop();
        EXPECT_LT(std::chrono::steady_clock::now() - stop, 2s);
        EXPECT_FALSE(receiver.isRunning());
    }
}

// A gpsd stand-in: accepts one client, checks its watch request, then sends
// what gpsd sends in NMEA mode: a JSON greeting and sentences.
class FakeGpsd {
public:
    FakeGpsd()
    {
        m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 1);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~FakeGpsd()
    {
        m_thread.join();
        ::close(m_listen);
    }
    int port = 0;
    std::string request;

private:
    void serve()
    {
        const int c = ::accept(m_listen, nullptr, nullptr);
        char buf[256];
        const ssize_t n = ::recv(c, buf, sizeof buf, 0);
        if (n > 0)
            request.assign(buf, static_cast<std::size_t>(n));
        const std::string out = "{\"class\":\"VERSION\",\"release\":\"3.25\",\"proto_major\":3,\"proto_minor\":15}\r\n"
                                "{\"class\":\"DEVICES\",\"devices\":[{\"class\":\"DEVICE\",\"path\":\"/dev/ttyACM0\","
                                "\"driver\":\"NMEA0183\",\"activated\":\"2024-06-01T10:00:00.000Z\",\"flags\":1,"
                                "\"native\":0,\"bps\":9600,\"parity\":\"N\",\"stopbits\":1,\"cycle\":1.00}]}\r\n"
                                + std::string(kGga);
        ::send(c, out.data(), out.size(), MSG_NOSIGNAL);
        std::this_thread::sleep_for(500ms);
        ::close(c);
    }
    int m_listen = -1;
    std::thread m_thread;
};

TEST(GpsdTest, WatchesNmeaOverTheLoopback)
{
    FakeGpsd gpsd;
    RecordingNotifier notifier;
    RecordingFixSink sink;
    GpsReceiver receiver(notifier);
    receiver.setFixSink(&sink);
    ASSERT_TRUE(receiver.Start("gpsd://127.0.0.1:" + std::to_string(gpsd.port), 0));
    ASSERT_TRUE(sink.waitForFixes(1, 5s));
    receiver.Stop();
    EXPECT_NE(gpsd.request.find("\"nmea\":true"), std::string::npos) << gpsd.request;
    EXPECT_NEAR(sink.fixes()[0].longitude, 167.15275, 1e-6);
}

TEST(GpsdTest, NobodyListeningFailsToStart)
{
    RecordingNotifier notifier;
    GpsReceiver receiver(notifier);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(receiver.Start("gpsd://127.0.0.1:1", 0));
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Error while opening GPS connection."), std::string::npos);
}

// The system's name lookup may wait for a name server that never answers;
// stopping the receiver does not wait for it.
TEST(GpsdTest, AStopEndsTheWaitForTheNameLookup)
{
    std::promise<void> answer;
    std::shared_future<void> answered = answer.get_future().share();
    auto port = makeGpsdPort("gpsd.invalid:2947", [answered](const char*, const char* service, const addrinfo* hints,
                                                              addrinfo** found) {
        answered.wait();
        return ::getaddrinfo("127.0.0.1", service, hints, found);
    });
    const int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(wake, 0);
    auto opening = std::async(std::launch::async, [&] { return port->open(wake); });
    EXPECT_EQ(opening.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout)
        << "the lookup has not answered yet";
    const std::uint64_t one = 1;
    ASSERT_EQ(::write(wake, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    ASSERT_EQ(opening.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "the stop ended the wait";
    EXPECT_FALSE(opening.get());
    EXPECT_EQ(port->failure(), PortFailure::Gpsd);
    answer.set_value(); // the lookup ends by itself, and frees its answer
    port.reset();
    ::close(wake);
}

} // namespace
} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
// The three kinds of NMEA source: serial devices, gpsd and recorded logs.
#include "gps/NmeaPort.h"

#include "platform/Numbers.h"
#include "platform/SerialPort.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <optional>
#include <poll.h>
#include <string_view>
#include <system_error>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tw {
namespace {

constexpr int kConnectTimeoutMs = 5000;
constexpr int kLookupTimeoutMs = 15000;
// The watch request of gpsd's NMEA mode (what its own raw client sends).
constexpr std::string_view kWatchRequest = "?WATCH={\"enable\":true,\"nmea\":true}\n";
// A recorded log never waits longer than this between two fixes.
constexpr double kMaxReplayPauseS = 2.0;
// A sentence has at most 82 characters; a longer line of a log is dropped.
constexpr std::size_t kMaxReplayLine = 1024;
// So many bytes without a line end are no log at all: playing ends.
constexpr std::size_t kMaxReplayRun = 1 << 20;

bool startsWith(const std::string& s, std::string_view prefix)
{
    return s.compare(0, prefix.size(), prefix) == 0;
}

class SerialNmeaPort final : public NmeaPort {
public:
    SerialNmeaPort(std::string path, unsigned baudRate) : m_path(std::move(path)), m_baud(baudRate) {}
    bool open(int) override
    {
        if (m_port.open(m_path, m_baud))
            return true;
        switch (m_port.failure()) {
        case SerialPort::Failure::ReadState: m_failure = PortFailure::ReadState; break;
        case SerialPort::Failure::WriteState: m_failure = PortFailure::WriteState; break;
        default: m_failure = PortFailure::Open; break;
        }
        return false;
    }
    void close() override { m_port.close(); }
    int fd() const override { return m_port.fd(); }

private:
    std::string m_path;
    unsigned m_baud;
    SerialPort m_port;
};

// One name lookup, shared by the thread that makes it and the opener that
// waits for it; whoever lets go last frees the answer.
struct NameLookup {
    ~NameLookup()
    {
        if (list)
            ::freeaddrinfo(list);
        if (doneFd >= 0)
            ::close(doneFd);
    }
    int doneFd = -1; // readable once the lookup is over
    std::atomic<bool> done{false};
    addrinfo* list = nullptr;
};

// The system's name lookup cannot be interrupted, and may wait for a name
// server for many seconds: it runs on a thread of its own, and the opener
// stops waiting for it when the receiver is stopped (wakeFd) or after
// kLookupTimeoutMs. The thread then ends by itself when the lookup does.
std::shared_ptr<NameLookup> lookUp(const std::string& host, const std::string& service, int wakeFd,
                                   const GpsdLookup& lookup)
{
    auto shared = std::make_shared<NameLookup>();
    shared->doneFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (shared->doneFd < 0)
        return nullptr;
    try {
        std::thread([shared, host, service, lookup] {
            addrinfo hints{};
            hints.ai_family = AF_UNSPEC;
            hints.ai_socktype = SOCK_STREAM;
            addrinfo* list = nullptr;
            if (lookup(host.c_str(), service.c_str(), &hints, &list) == 0)
                shared->list = list;
            shared->done.store(true, std::memory_order_release);
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write(shared->doneFd, &one, sizeof one);
        }).detach();
    } catch (const std::system_error&) {
        return nullptr; // no thread to be had
    }
    pollfd p[2] = {{shared->doneFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLookupTimeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return nullptr;
        const int n = ::poll(p, wakeFd >= 0 ? 2 : 1, static_cast<int>(left.count()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || (p[1].revents & POLLIN))
            return nullptr;
        if (shared->done.load(std::memory_order_acquire))
            return shared;
    }
}

class GpsdNmeaPort final : public NmeaPort {
public:
    GpsdNmeaPort(const std::string& address, GpsdLookup lookup) : m_lookup(std::move(lookup))
    {
        parseAddress(address);
    }
    ~GpsdNmeaPort() override { close(); }

    bool open(int wakeFd) override
    {
        close();
        m_failure = PortFailure::Gpsd;
        if (m_host.empty())
            return false;
        const auto found = lookUp(m_host, m_service, wakeFd, m_lookup);
        if (!found || !found->list)
            return false;
        for (addrinfo* a = found->list; a && m_fd < 0; a = a->ai_next)
            m_fd = connectTo(*a, wakeFd);
        if (m_fd < 0)
            return false;
        if (::send(m_fd, kWatchRequest.data(), kWatchRequest.size(), MSG_NOSIGNAL)
            != static_cast<ssize_t>(kWatchRequest.size())) {
            close();
            return false;
        }
        m_failure = PortFailure::None;
        return true;
    }
    void close() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    int fd() const override { return m_fd; }

private:
    void parseAddress(std::string address)
    {
        const auto slash = address.find('/');
        if (slash != std::string::npos)
            address.resize(slash);
        m_service = std::to_string(kGpsdDefaultPort);
        if (!address.empty() && address.front() == '[') { // [v6 address]:port
            const auto close = address.find(']');
            if (close == std::string::npos)
                return;
            m_host = address.substr(1, close - 1);
            if (close + 1 < address.size() && address[close + 1] == ':')
                m_service = address.substr(close + 2);
            return;
        }
        const auto colon = address.rfind(':');
        if (colon != std::string::npos && address.find(':') == colon) {
            m_host = address.substr(0, colon);
            m_service = address.substr(colon + 1);
        } else {
            m_host = address;
        }
    }

    static int connectTo(const addrinfo& a, int wakeFd)
    {
        const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a.ai_protocol);
        if (fd < 0)
            return -1;
        if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0)
            return fd;
        if (errno != EINPROGRESS) {
            ::close(fd);
            return -1;
        }
        pollfd p[2] = {{fd, POLLOUT, 0}, {wakeFd, POLLIN, 0}};
        const int n = ::poll(p, wakeFd >= 0 ? 2 : 1, kConnectTimeoutMs);
        int err = 0;
        socklen_t len = sizeof err;
        if (n <= 0 || (p[1].revents & POLLIN) || !(p[0].revents & POLLOUT)
            || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    GpsdLookup m_lookup;
    std::string m_host;
    std::string m_service;
    int m_fd = -1;
};

// Seconds of the day of an NMEA time field hhmmss.ss; nothing when absent.
std::optional<double> fixSeconds(std::string_view line)
{
    if (line.size() < 7 || (line.substr(3, 3) != "RMC" && line.substr(3, 3) != "GGA"))
        return std::nullopt;
    const auto comma = line.find(',');
    const auto end = line.find(',', comma + 1);
    if (comma == std::string_view::npos || end == std::string_view::npos)
        return std::nullopt;
    const auto v = num::parseDouble(line.substr(comma + 1, end - comma - 1));
    if (!v || *v < 0 || *v >= 240000)
        return std::nullopt;
    const int hhmmss = static_cast<int>(*v);
    return (hhmmss / 10000) * 3600.0 + (hhmmss / 100 % 100) * 60.0 + hhmmss % 100 + (*v - hhmmss);
}

// Plays a log through one end of a socket pair; the reader reads the other.
// The log is read as it is played, a line at a time, so that any file works:
// a FIFO that nobody writes yet, a device, or /dev/zero.
class ReplayNmeaPort final : public NmeaPort {
public:
    explicit ReplayNmeaPort(std::string path) : m_path(std::move(path)) {}
    ~ReplayNmeaPort() override { close(); }

    bool open(int) override
    {
        close();
        m_failure = PortFailure::Open;
        // O_NONBLOCK: opening a FIFO would wait for a writer.
        const int source = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (source < 0)
            return false;
        struct stat st {};
        int fds[2];
        if (::fstat(source, &st) != 0 || S_ISDIR(st.st_mode)
            || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
            ::close(source);
            return false;
        }
        m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (m_stopFd < 0) {
            ::close(source);
            ::close(fds[0]);
            ::close(fds[1]);
            return false;
        }
        m_readFd = fds[0];
        m_writeFd = fds[1];
        m_feeder = std::thread([this, source] {
            feed(source);
            ::close(source);
        });
        m_failure = PortFailure::None;
        return true;
    }

    void close() override
    {
        if (m_feeder.joinable()) {
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write(m_stopFd, &one, sizeof one);
            ::shutdown(m_writeFd, SHUT_RDWR); // a send blocked on a full socket returns
            m_feeder.join();
        }
        for (int* fd : {&m_readFd, &m_writeFd, &m_stopFd}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
    }
    int fd() const override { return m_readFd; }

private:
    // Waits for the source to be readable, or until stopped; false when
    // stopped. A timeout of -1 waits without a limit.
    bool waitFor(int source, int timeoutMs)
    {
        pollfd p[2] = {{m_stopFd, POLLIN, 0}, {source, POLLIN, 0}};
        while (::poll(p, source >= 0 ? 2 : 1, timeoutMs) < 0)
            if (errno != EINTR)
                return false;
        return !(p[0].revents & POLLIN);
    }

    void feed(int source)
    {
        std::string line;
        bool overlong = false;
        std::size_t sinceLineEnd = 0;
        std::optional<double> last;
        char buffer[4096];
        while (waitFor(source, -1)) {
            const ssize_t got = ::read(source, buffer, sizeof buffer);
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (got <= 0)
                break; // the log has ended
            for (const char c : std::string_view(buffer, static_cast<std::size_t>(got))) {
                if (c == '\n') {
                    if (!overlong && !play(line, last))
                        return;
                    line.clear();
                    overlong = false;
                    sinceLineEnd = 0;
                } else if (++sinceLineEnd > kMaxReplayRun) {
                    return; // not a log: the receiver hears silence
                } else if (line.size() == kMaxReplayLine) {
                    overlong = true;
                } else if (!overlong) {
                    line += c;
                }
            }
        }
        if (!overlong)
            play(line, last);
        // The log has ended: the receiver hears silence from now on.
    }

    // Sends one line of the log at its time; false when stopped.
    bool play(std::string line, std::optional<double>& last)
    {
        while (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            return true;
        if (const auto t = fixSeconds(line)) {
            if (last && *t != *last) {
                double pause = *t - *last;
                if (pause < 0) // past midnight, or a log put together from pieces
                    pause = 1.0;
                pause = std::min(pause, kMaxReplayPauseS);
                if (!waitFor(-1, static_cast<int>(pause * 1000)))
                    return false;
            }
            last = t;
        }
        line += "\r\n";
        return ::send(m_writeFd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size());
    }

    std::string m_path;
    int m_readFd = -1;
    int m_writeFd = -1;
    int m_stopFd = -1;
    std::thread m_feeder;
};

} // namespace

bool isVirtualPortName(const std::string& name)
{
    return startsWith(name, kGpsdScheme) || startsWith(name, kReplayScheme);
}

std::unique_ptr<NmeaPort> makeGpsdPort(const std::string& address, GpsdLookup lookup)
{
    return std::make_unique<GpsdNmeaPort>(address, std::move(lookup));
}

std::unique_ptr<NmeaPort> makeNmeaPort(const std::string& name, unsigned baudRate)
{
    if (startsWith(name, kGpsdScheme))
        return makeGpsdPort(name.substr(std::strlen(kGpsdScheme)), ::getaddrinfo);
    if (startsWith(name, kReplayScheme))
        return std::make_unique<ReplayNmeaPort>(name.substr(std::strlen(kReplayScheme)));
    return std::make_unique<SerialNmeaPort>(name, baudRate);
}

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/gps/GpsTestSupport.h"

#include "platform/Numbers.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace tw::test {

void RecordingFixSink::appendFix(const GpsFix& fix)
{
    {
        std::lock_guard lock(m_mutex);
        m_fixes.push_back(fix);
    }
    m_changed.notify_all();
}

void RecordingFixSink::flushBuffer()
{
    std::lock_guard lock(m_mutex);
    ++m_flushes;
}

std::vector<GpsFix> RecordingFixSink::fixes() const
{
    std::lock_guard lock(m_mutex);
    return m_fixes;
}

int RecordingFixSink::flushes() const
{
    std::lock_guard lock(m_mutex);
    return m_flushes;
}

bool RecordingFixSink::waitForFixes(std::size_t count, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_fixes.size() >= count; });
}

FakeReceiver::FakeReceiver()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_slaveName = name;
    // Raw from the start, so nothing written before the program configures
    // the port is echoed or translated.
    termios tio{};
    ::tcgetattr(m_slave, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slave, TCSANOW, &tio);
}

FakeReceiver::~FakeReceiver()
{
    unplug();
}

void FakeReceiver::send(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else {
            return;
        }
    }
}

void FakeReceiver::unplug()
{
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}

std::vector<std::string> captureLines(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string line = bytes.substr(start, end - start);
        if (line.front() != '#')
            lines.push_back(line);
        start = end;
    }
    return lines;
}

std::optional<double> jsonNumber(const std::string& json, const std::string& key)
{
    const auto at = json.find("\"" + key + "\":");
    if (at == std::string::npos)
        return std::nullopt;
    return num::leadingDouble(json.substr(at + key.size() + 3));
}

std::optional<std::string> jsonText(const std::string& json, const std::string& key)
{
    const std::string head = "\"" + key + "\":\"";
    const auto at = json.find(head);
    if (at == std::string::npos)
        return std::nullopt;
    const auto end = json.find('"', at + head.size());
    if (end == std::string::npos)
        return std::nullopt;
    return json.substr(at + head.size(), end - at - head.size());
}

int openDescriptorCount()
{
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

int threadCount()
{
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task"))
        ++n;
    return n;
}

namespace {

long long procField(const char* file, const std::string& name)
{
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);)
        if (line.rfind(name, 0) == 0)
            return std::stoll(line.substr(name.size()));
    return -1;
}

} // namespace

long residentKb()
{
    return static_cast<long>(procField("/proc/self/status", "VmRSS:"));
}

long long bytesRead()
{
    return procField("/proc/self/io", "rchar:");
}

} // namespace tw::test

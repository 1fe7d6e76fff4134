// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "gps/GpsReceiver.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tw::test {

// Collects what the receiver hands to the track logger.
class RecordingFixSink final : public FixSink {
public:
    void appendFix(const GpsFix& fix) override;
    void flushBuffer() override;
    std::vector<GpsFix> fixes() const;
    int flushes() const;
    // Waits until at least count fixes have arrived.
    bool waitForFixes(std::size_t count, std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<GpsFix> m_fixes;
    int m_flushes = 0;
};

// A receiver on the other side of a pseudo-terminal: the program opens
// slaveName() as its serial port, the test writes sentences into the master.
class FakeReceiver {
public:
    FakeReceiver();
    ~FakeReceiver();
    FakeReceiver(const FakeReceiver&) = delete;
    FakeReceiver& operator=(const FakeReceiver&) = delete;

    const std::string& slaveName() const { return m_slaveName; }
    // Writes all bytes, waiting while the terminal's buffer is full.
    void send(const std::string& bytes);
    // Ends the device: the port's reader sees a hang-up.
    void unplug();

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slaveName;
};

// The lines of a capture without its '#' comments, line ends as recorded.
std::vector<std::string> captureLines(const std::string& bytes);
// A number or a string of one line of a capture's check file ({"key":value,...}).
std::optional<double> jsonNumber(const std::string& json, const std::string& key);
std::optional<std::string> jsonText(const std::string& json, const std::string& key);

int openDescriptorCount();
int threadCount();
// The process's resident memory (KiB) and the bytes its reads returned so far.
long residentKb();
long long bytesRead();

} // namespace tw::test

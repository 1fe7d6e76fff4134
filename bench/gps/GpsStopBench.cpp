// SPDX-License-Identifier: GPL-3.0-or-later
// How long GpsReceiver::Stop takes: the reader thread is woken out of its
// wait and joined, on a silent device and on one that sends without pause.
// Run by hand: build/bin/gps_stop_bench (times in milliseconds per stop).
#include "gps/GpsReceiver.h"
#include "platform/RecordingNotifier.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace tw;

namespace {

// A receiver on the other side of a pseudo-terminal.
class Device {
public:
    Device()
    {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) {
            termios tio{};
            ::tcgetattr(m_slave, &tio);
            ::cfmakeraw(&tio);
            ::tcsetattr(m_slave, TCSANOW, &tio);
            m_name = name;
        }
    }
    ~Device()
    {
        stopSending();
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const std::string& name() const { return m_name; }
    // Sentences without pause until stopSending.
    void startSending()
    {
        m_sending = true;
        m_sender = std::thread([this] {
            const std::string gga = "$GPGGA,225308,4527.458,S,16709.165,E,1,05,2.1,14.7,M,1.1,M,,*53\r\n";
            while (m_sending)
                if (::write(m_master, gga.data(), gga.size()) < 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    }
    void stopSending()
    {
        m_sending = false;
        if (m_sender.joinable())
            m_sender.join();
        // Whatever the reader left unread goes, so the next start begins clean.
        ::tcflush(m_slave, TCIOFLUSH);
    }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_name;
    std::atomic<bool> m_sending{false};
    std::thread m_sender;
};

void stopOnce(benchmark::State& state, bool busy)
{
    Device device;
    if (device.name().empty()) {
        state.SkipWithError("No pseudo-terminal.");
        return;
    }
    RecordingNotifier notifier;
    GpsReceiver receiver(notifier);
    if (busy)
        device.startSending();
    for (auto _ : state) {
        if (!receiver.Start(device.name(), 9600)) {
            state.SkipWithError("The receiver did not start.");
            break;
        }
        // The reader is in its wait (or its reads) before the stop is asked for.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto start = std::chrono::steady_clock::now();
        receiver.Stop();
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    device.stopSending();
}

void BM_StopSilentDevice(benchmark::State& state)
{
    stopOnce(state, false);
}

void BM_StopSendingDevice(benchmark::State& state)
{
    stopOnce(state, true);
}

} // namespace

BENCHMARK(BM_StopSilentDevice)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_StopSendingDevice)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK_MAIN();

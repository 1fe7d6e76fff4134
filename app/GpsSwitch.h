// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace tw {

class GpsReceiver;
class Notifier;
class ProximityAlert;

// The GPS on and off commands. Opening a port and ending the reader (which
// flushes the track) may take a while, so both run on a thread of their own
// and the window goes on; the outcome is announced as Topic::Gps. Requests
// run in order; a request made while another waits replaces it.
class GpsSwitch {
public:
    GpsSwitch(GpsReceiver& gps, ProximityAlert& alert, Notifier& notifier);
    ~GpsSwitch();
    GpsSwitch(const GpsSwitch&) = delete;
    GpsSwitch& operator=(const GpsSwitch&) = delete;

    // Starts the receiver on the port unless the speed is 0; the proximity
    // alert is armed again then.
    void switchOn(const std::string& portName, unsigned baudRate);
    void switchOff();
    // A request is waiting or running.
    bool busy() const;
    // On as last asked for, or as the receiver runs when nothing is asked.
    bool isOn() const;
    // The last switch-on could not open the port.
    bool startFailed() const { return m_startFailed.load(); }
    // Waits for the requests made so far and ends the thread; later requests
    // are ignored. Called before the program stops the receiver itself.
    void finish();

private:
    struct Request {
        bool on = false;
        std::string portName;
        unsigned baudRate = 0;
    };
    void post(Request request);
    void run();

    GpsReceiver& m_gps;
    ProximityAlert& m_alert;
    Notifier& m_notifier;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::optional<Request> m_pending;
    bool m_working = false;
    bool m_workingOn = false;
    bool m_finishing = false;
    std::atomic<bool> m_startFailed{false};
    std::thread m_thread;
};

} // namespace tw

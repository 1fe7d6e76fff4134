// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/GpsSwitch.h"

#include "gps/GpsReceiver.h"
#include "gps/ProximityAlert.h"
#include "platform/Notifier.h"

namespace tw {

GpsSwitch::GpsSwitch(GpsReceiver& gps, ProximityAlert& alert, Notifier& notifier)
    : m_gps(gps), m_alert(alert), m_notifier(notifier)
{
}

GpsSwitch::~GpsSwitch()
{
    finish();
}

void GpsSwitch::switchOn(const std::string& portName, unsigned baudRate)
{
    if (baudRate == 0)
        return;
    post({true, portName, baudRate});
}

void GpsSwitch::switchOff()
{
    post({false, {}, 0});
}

void GpsSwitch::post(Request request)
{
    std::lock_guard lock(m_mutex);
    if (m_finishing)
        return;
    m_pending = std::move(request);
    if (!m_thread.joinable())
        m_thread = std::thread([this] { run(); });
    m_changed.notify_all();
}

bool GpsSwitch::busy() const
{
    std::lock_guard lock(m_mutex);
    return m_working || m_pending.has_value();
}

bool GpsSwitch::isOn() const
{
    std::lock_guard lock(m_mutex);
    if (m_pending)
        return m_pending->on;
    if (m_working)
        return m_workingOn;
    return m_gps.isRunning(); // nothing runs on the switch's thread now
}

void GpsSwitch::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finishing = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void GpsSwitch::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_pending.has_value() || m_finishing; });
        if (!m_pending)
            return;
        const Request request = std::move(*m_pending);
        m_pending.reset();
        m_working = true;
        m_workingOn = request.on;
        lock.unlock();
        if (request.on) {
            const bool started = m_gps.Start(request.portName, request.baudRate);
            m_startFailed = !started;
            m_alert.clearFired();
        } else {
            m_gps.Stop();
        }
        lock.lock();
        m_working = false;
        lock.unlock();
        m_notifier.stateChanged(Topic::Gps);
        lock.lock();
    }
}

} // namespace tw

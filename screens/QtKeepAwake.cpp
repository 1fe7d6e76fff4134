// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtKeepAwake.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

#include <cstdio>

namespace tw {
namespace {

constexpr const char* kScreenSaverService = "org.freedesktop.ScreenSaver";
constexpr const char* kScreenSaverPath = "/org/freedesktop/ScreenSaver";
constexpr int kIdleResetMs = 10000;
constexpr int kDbusTimeoutMs = 2000;

} // namespace

QtKeepAwake::QtKeepAwake(QObject* parent) : QObject(parent)
{
    m_idleTimer.setInterval(kIdleResetMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &QtKeepAwake::onIdleTimer);
}

static QDBusMessage screenSaverCall(const char* method)
{
    return QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath, kScreenSaverService,
                                          QString::fromLatin1(method));
}

bool QtKeepAwake::acquire()
{
    m_idleTimer.start();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kScreenSaverService).value())
        return true; // no desktop session or no screen saver: nothing would dim the screen
    QDBusMessage call = screenSaverCall("Inhibit");
    call << QStringLiteral("Tarnwick") << m_reason;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kDbusTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        std::fprintf(stderr, "tarnwick: screen saver inhibit failed: %s\n", qPrintable(reply.errorMessage()));
        return false;
    }
    m_cookie = reply.arguments().constFirst().toUInt();
    m_inhibited = true;
    return true;
}

void QtKeepAwake::release()
{
    m_idleTimer.stop();
    if (!m_inhibited)
        return;
    m_inhibited = false;
    QDBusMessage call = screenSaverCall("UnInhibit");
    call << m_cookie;
    QDBusConnection::sessionBus().call(call, QDBus::Block, kDbusTimeoutMs);
}

void QtKeepAwake::setUnattended(bool)
{
    // A desktop keeps running processes while the screen is off; there is no
    // separate unattended mode to switch.
}

void QtKeepAwake::onIdleTimer()
{
    if (m_inhibited)
        QDBusConnection::sessionBus().asyncCall(screenSaverCall("SimulateUserActivity"));
}

} // namespace tw

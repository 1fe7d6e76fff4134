// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMessageBox>
#include <QThread>

#include <cstdio>

namespace tw {
namespace {

bool onGuiThread()
{
    return QThread::currentThread() == qApp->thread();
}

constexpr const char* kScreenSaverService = "org.freedesktop.ScreenSaver";
constexpr const char* kScreenSaverPath = "/org/freedesktop/ScreenSaver";
constexpr int kIdleResetMs = 10000;
constexpr int kDbusTimeoutMs = 2000;
// The answer keys of a question; the batch mode prints the same words.
constexpr int kTextYes = 1006;
constexpr int kTextNo = 1007;

} // namespace

QtPrompter::QtPrompter(QObject* parent) : QObject(parent) {}

void QtPrompter::message(const std::string& text, MessageIcon icon)
{
    const QString q = QString::fromStdString(text);
    if (onGuiThread()) {
        showMessage(q, icon);
        return;
    }
    QMetaObject::invokeMethod(this, [this, q, icon] { showMessage(q, icon); }, Qt::QueuedConnection);
}

bool QtPrompter::ask(const std::string& text, bool defaultYes)
{
    const QString q = QString::fromStdString(text);
    if (onGuiThread())
        return showQuestion(q, defaultYes);
    bool answer = defaultYes;
    QMetaObject::invokeMethod(
        this, [&] { answer = showQuestion(q, defaultYes); }, Qt::BlockingQueuedConnection);
    return answer;
}

void QtPrompter::showMessage(const QString& text, MessageIcon icon)
{
    QMessageBox box(m_parentWidget);
    box.setWindowTitle(QStringLiteral("Tarnwick"));
    box.setText(text);
    box.setIcon(icon == MessageIcon::Exclamation   ? QMessageBox::Warning
                : icon == MessageIcon::Information ? QMessageBox::Information
                                                   : QMessageBox::NoIcon);
    box.exec();
}

bool QtPrompter::showQuestion(const QString& text, bool defaultYes)
{
    QMessageBox box(m_parentWidget);
    box.setWindowTitle(QStringLiteral("Tarnwick"));
    box.setText(text);
    box.setIcon(QMessageBox::Question);
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    // Qt's own captions would stay English.
    const TextLookup& texts = *m_texts;
    box.button(QMessageBox::Yes)->setText(QString::fromStdString(texts.textOr(kTextYes, "Yes")));
    box.button(QMessageBox::No)->setText(QString::fromStdString(texts.textOr(kTextNo, "No")));
    return box.exec() == QMessageBox::Yes;
}

void QtNotifier::stateChanged(Topic topic)
{
    QMetaObject::invokeMethod(this, [this, topic] { emit topicChanged(topic); }, Qt::QueuedConnection);
}

void QtNotifier::downloadProgress(int remaining)
{
    QMetaObject::invokeMethod(this, [this, remaining] { emit downloadProgressed(remaining); },
                              Qt::QueuedConnection);
}

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

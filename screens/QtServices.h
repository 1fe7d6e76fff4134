// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeepAwake.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "platform/TextLookup.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <atomic>

namespace tw {

// Message boxes and questions. Callable from any thread: a message from a
// worker is posted to the window thread and the worker goes on; a question
// blocks the worker until the user has answered.
class QtPrompter final : public QObject, public Prompter {
    Q_OBJECT
public:
    explicit QtPrompter(QObject* parent = nullptr);
    void setParentWidget(QWidget* widget) { m_parentWidget = widget; }
    // The captions of the answer keys (English until set); texts must
    // outlive the prompter.
    void setTexts(const TextLookup& texts) { m_texts = &texts; }

    void message(const std::string& text, MessageIcon icon) override;
    bool ask(const std::string& text, bool defaultYes) override;

private:
    void showMessage(const QString& text, MessageIcon icon);
    bool showQuestion(const QString& text, bool defaultYes);

    QPointer<QWidget> m_parentWidget;
    std::atomic<const TextLookup*> m_texts{&englishTexts()};
};

// Delivers notifications on the window thread as signals.
class QtNotifier final : public QObject, public Notifier {
    Q_OBJECT
public:
    explicit QtNotifier(QObject* parent = nullptr) : QObject(parent) {}
    void stateChanged(Topic topic) override;
    void downloadProgress(int remaining) override;

signals:
    void topicChanged(tw::Topic topic);
    void downloadProgressed(int remaining);
};

// Inhibits the screen saver over the session bus where one answers, and
// reports activity every 10 s so the desktop does not idle.
class QtKeepAwake final : public QObject, public KeepAwake {
    Q_OBJECT
public:
    explicit QtKeepAwake(QObject* parent = nullptr);
    bool acquire() override;
    void release() override;
    void setUnattended(bool on) override;
    // Why the screen stays on, as the desktop lists it.
    void setReason(const QString& reason) { m_reason = reason; }

private:
    void onIdleTimer();

    QString m_reason;
    QTimer m_idleTimer;
    quint32 m_cookie = 0;
    bool m_inhibited = false;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeepAwake.h"

#include <QObject>
#include <QString>
#include <QTimer>

namespace tw {

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

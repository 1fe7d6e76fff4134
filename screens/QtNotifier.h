// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Notifier.h"

#include <QObject>

namespace tw {

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

} // namespace tw

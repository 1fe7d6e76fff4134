// SPDX-License-Identifier: GPL-3.0-or-later
#include "screens/QtNotifier.h"

namespace tw {

void QtNotifier::stateChanged(Topic topic)
{
    QMetaObject::invokeMethod(this, [this, topic] { emit topicChanged(topic); }, Qt::QueuedConnection);
}

void QtNotifier::downloadProgress(int remaining)
{
    QMetaObject::invokeMethod(this, [this, remaining] { emit downloadProgressed(remaining); },
                              Qt::QueuedConnection);
}

} // namespace tw

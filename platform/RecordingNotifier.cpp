// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RecordingNotifier.h"

#include <algorithm>

namespace tw {

void RecordingNotifier::stateChanged(Topic topic)
{
    {
        std::lock_guard lock(m_mutex);
        m_topics.push_back(topic);
    }
    m_changed.notify_all();
}

void RecordingNotifier::downloadProgress(int remaining)
{
    std::lock_guard lock(m_mutex);
    m_progress.push_back(remaining);
}

std::vector<Topic> RecordingNotifier::topics() const
{
    std::lock_guard lock(m_mutex);
    return m_topics;
}

std::vector<int> RecordingNotifier::progress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

bool RecordingNotifier::waitFor(Topic topic, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return std::find(m_topics.begin(), m_topics.end(), topic) != m_topics.end();
    });
}

} // namespace tw

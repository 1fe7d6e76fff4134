// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Notifier.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace tw {

class RecordingNotifier final : public Notifier {
public:
    void stateChanged(Topic topic) override;
    void downloadProgress(int remaining) override;

    std::vector<Topic> topics() const;
    std::vector<int> progress() const;
    // Waits until a notification of that topic has arrived; false on timeout.
    bool waitFor(Topic topic, std::chrono::milliseconds timeout);

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Topic> m_topics;
    std::vector<int> m_progress;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeepAwake.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tw {

// Records what the core would have shown; answers questions from a script.
class RecordingPrompter final : public Prompter {
public:
    struct Message {
        std::string text;
        MessageIcon icon;
    };

    void message(const std::string& text, MessageIcon icon) override;
    bool ask(const std::string& text, bool defaultYes) override;

    // Answers for the next questions, in order; when none is left the
    // question's default is taken.
    void queueAnswer(bool yes);

    std::vector<Message> messages() const;
    std::vector<std::string> questions() const;
    void clear();

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
    std::vector<std::string> m_questions;
    std::deque<bool> m_answers;
};

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

class RecordingKeepAwake final : public KeepAwake {
public:
    bool acquire() override;
    void release() override;
    void setUnattended(bool on) override;

    std::vector<std::string> calls() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
};

} // namespace tw

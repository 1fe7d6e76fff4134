// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Prompter.h"

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

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RecordingPrompter.h"

namespace tw {

void RecordingPrompter::message(const std::string& text, MessageIcon icon)
{
    std::lock_guard lock(m_mutex);
    m_messages.push_back({text, icon});
}

bool RecordingPrompter::ask(const std::string& text, bool defaultYes)
{
    std::lock_guard lock(m_mutex);
    m_questions.push_back(text);
    if (m_answers.empty())
        return defaultYes;
    const bool answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

void RecordingPrompter::queueAnswer(bool yes)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(yes);
}

std::vector<RecordingPrompter::Message> RecordingPrompter::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> RecordingPrompter::questions() const
{
    std::lock_guard lock(m_mutex);
    return m_questions;
}

void RecordingPrompter::clear()
{
    std::lock_guard lock(m_mutex);
    m_messages.clear();
    m_questions.clear();
}

} // namespace tw

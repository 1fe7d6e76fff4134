// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RecordingServices.h"

#include <algorithm>

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

bool RecordingKeepAwake::acquire()
{
    std::lock_guard lock(m_mutex);
    m_calls.emplace_back("acquire");
    return true;
}

void RecordingKeepAwake::release()
{
    std::lock_guard lock(m_mutex);
    m_calls.emplace_back("release");
}

void RecordingKeepAwake::setUnattended(bool on)
{
    std::lock_guard lock(m_mutex);
    m_calls.emplace_back(on ? "unattended on" : "unattended off");
}

std::vector<std::string> RecordingKeepAwake::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

} // namespace tw

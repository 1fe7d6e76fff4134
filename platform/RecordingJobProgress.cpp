// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RecordingJobProgress.h"

namespace tw {

void RecordingJobProgress::setCounter(int k, int value)
{
    std::lock_guard lock(m_mutex);
    if (k >= 1 && k <= 4)
        m_counters[k - 1] = value;
}

void RecordingJobProgress::setText(int line, const std::string& text)
{
    std::lock_guard lock(m_mutex);
    if (line >= 1 && line <= 3)
        m_lines[line - 1] = text;
}

void RecordingJobProgress::setRange(int total)
{
    std::lock_guard lock(m_mutex);
    m_range = total;
}

void RecordingJobProgress::setPosition(int position)
{
    std::lock_guard lock(m_mutex);
    m_position = position;
}

void RecordingJobProgress::finish(const std::string& completion)
{
    std::lock_guard lock(m_mutex);
    ++m_finished;
    m_completion = completion;
}

int RecordingJobProgress::counter(int k) const
{
    std::lock_guard lock(m_mutex);
    return k >= 1 && k <= 4 ? m_counters[k - 1] : 0;
}

std::string RecordingJobProgress::text(int line) const
{
    std::lock_guard lock(m_mutex);
    return line >= 1 && line <= 3 ? m_lines[line - 1] : std::string();
}

int RecordingJobProgress::range() const
{
    std::lock_guard lock(m_mutex);
    return m_range;
}

int RecordingJobProgress::position() const
{
    std::lock_guard lock(m_mutex);
    return m_position;
}

int RecordingJobProgress::finishCount() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

std::string RecordingJobProgress::completion() const
{
    std::lock_guard lock(m_mutex);
    return m_completion;
}

} // namespace tw

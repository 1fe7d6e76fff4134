// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RecordingKeepAwake.h"

namespace tw {

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

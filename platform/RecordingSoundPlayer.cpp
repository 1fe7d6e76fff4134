// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/RecordingSoundPlayer.h"

namespace tw {

void RecordingSoundPlayer::playAsync(const std::string& path)
{
    std::lock_guard lock(m_mutex);
    m_played.push_back(path);
}

bool RecordingSoundPlayer::playSync(const std::string& path)
{
    playAsync(path);
    return true;
}

std::vector<std::string> RecordingSoundPlayer::played() const
{
    std::lock_guard lock(m_mutex);
    return m_played;
}

} // namespace tw

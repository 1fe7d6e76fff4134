// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SoundPlayer.h"

#include <mutex>
#include <string>
#include <vector>

namespace tw {

class RecordingSoundPlayer final : public SoundPlayer {
public:
    void playAsync(const std::string& path) override;
    bool playSync(const std::string& path) override;
    std::vector<std::string> played() const;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_played;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeepAwake.h"

#include <mutex>
#include <string>
#include <vector>

namespace tw {

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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/JobProgress.h"

#include <mutex>
#include <string>

namespace tw {

// Records every call, for tests.
class RecordingJobProgress final : public JobProgress {
public:
    void setCounter(int k, int value) override;
    void setText(int line, const std::string& text) override;
    void setRange(int total) override;
    void setPosition(int position) override;
    void finish(const std::string& completion) override;

    int counter(int k) const;
    std::string text(int line) const;
    int range() const;
    int position() const;
    int finishCount() const;
    std::string completion() const;

private:
    mutable std::mutex m_mutex;
    int m_counters[4] = {0, 0, 0, 0};
    std::string m_lines[3];
    int m_range = 0;
    int m_position = 0;
    int m_finished = 0;
    std::string m_completion;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/JobProgress.h"

#include <atomic>
#include <string>
#include <vector>

namespace tw {

// Batch mode: the completion text and the final counters go to stderr.
class ConsoleJobProgress final : public JobProgress {
public:
    explicit ConsoleJobProgress(std::vector<std::string> counterNames) : m_names(std::move(counterNames)) {}
    void setCounter(int k, int value) override;
    void setText(int, const std::string&) override {}
    void setRange(int) override {}
    void setPosition(int) override {}
    void finish(const std::string& completion) override;

private:
    std::vector<std::string> m_names;
    std::atomic<int> m_counters[4] = {0, 0, 0, 0};
};

} // namespace tw

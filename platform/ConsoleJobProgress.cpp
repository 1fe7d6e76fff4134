// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ConsoleJobProgress.h"

#include <cstdio>

namespace tw {

void ConsoleJobProgress::setCounter(int k, int value)
{
    if (k >= 1 && k <= 4)
        m_counters[k - 1] = value;
}

void ConsoleJobProgress::finish(const std::string& completion)
{
    std::string line;
    for (std::size_t i = 0; i < m_names.size() && i < 4; ++i) {
        if (m_names[i].empty())
            continue;
        if (!line.empty())
            line += ", ";
        line += m_names[i] + ": " + std::to_string(m_counters[i].load());
    }
    if (!line.empty())
        std::fprintf(stderr, "tarnwick: %s\n", line.c_str());
    if (!completion.empty())
        std::fprintf(stderr, "tarnwick: %s\n", completion.c_str());
}

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ProgramLog.h"

#include "platform/Clock.h"

#include <cstdio>
#include <ctime>
#include <fstream>

namespace tw {

void ProgramLog::write(const std::string& text1, const std::string& text2) const
{
    std::error_code ec;
    if (!std::filesystem::exists(m_file, ec))
        return;
    std::ofstream out(m_file, std::ios::binary | std::ios::app);
    if (!out)
        return;
    const LocalTime t = localTime(std::time(nullptr));
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%d-%d-%d %02d:%02d:%02d ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    out << stamp << text1 << text2 << "\r\n";
}

} // namespace tw

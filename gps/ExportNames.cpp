// SPDX-License-Identifier: GPL-3.0-or-later
#include "gps/ExportNames.h"

namespace tw {

std::string ExportNames::claim(const std::string& base)
{
    auto key = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    std::string name = base;
    for (int n = 2; !m_taken.insert(key(name)).second; ++n)
        name = base + "-" + std::to_string(n);
    return name;
}

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Enumerations.h"

#include <string>
#include <vector>

namespace tw {

class CGeoLog {
public:
    int date = 0; // YYYYMMDD
    int type = LogType::FoundIt;
    std::string finder;
    std::string text;
    int logId = 0;
    int finderId = 0;
    // The text as stored (compressed), when an import has already packed it
    // on a thread of its own; empty otherwise. Never read back from the
    // database.
    std::vector<unsigned char> packedText;
};

} // namespace tw

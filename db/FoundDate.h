// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeoLog.h"
#include "db/CGeocache.h"
#include "db/Enumerations.h"

#include <string>

namespace tw {

// A "Found it" log written under the user's nickname gives the cache its
// found date; called whenever the log's date, type or finder was read, so
// the order of the three in a file does not matter. Without a nickname no
// log is the user's.
inline void takeFoundDate(CGeocache& cache, const CGeoLog& log, const std::string& nickname)
{
    if (!nickname.empty() && log.finder == nickname && log.type == LogType::FoundIt)
        cache.found = log.date;
}

} // namespace tw

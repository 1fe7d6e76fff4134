// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeoPoint.h"
#include "db/Enumerations.h"

#include <string>

namespace tw {

class CWaypoint final : public CGeoPoint {
public:
    int type = WaypointType::Final;
    std::string prefix;
    std::string extra;
    std::string comment; // the user's note
    int flag = 0;        // 1 imported, 0 created by the user
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

namespace tw::geo {

/** The GPS receiver's last position, copied under the receiver's lock. A
 *  value of exactly 0 means that the receiver has none for it. */
struct LiveFix {
    LatLon position;
    bool hasFix = false; // a position with at least one satellite in use
};

class LivePositionSource {
public:
    virtual ~LivePositionSource() = default;
    virtual LiveFix liveFix() const = 0;
};

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tw::geo {

/** A position in decimal degrees on WGS-84, latitude positive to the north,
 *  longitude positive to the east. Both values exactly 0 means "no position". */
struct LatLon {
    double lat = 0.0;
    double lon = 0.0;

    bool isEmpty() const { return lat == 0.0 && lon == 0.0; }
    friend bool operator==(const LatLon&, const LatLon&) = default;
};

} // namespace tw::geo

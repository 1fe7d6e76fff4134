// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

// A position with a name: the common part of a cache and a waypoint.
// Latitude and longitude are WGS-84 degrees; both exactly 0 means none.
class CGeoPoint {
public:
    virtual ~CGeoPoint() = default;

    int key = 0;          // database row id, 0 while not stored
    std::string code;     // cache code; for a waypoint the code of its cache
    std::string guid;
    double lat = 0.0;
    double lon = 0.0;
    int updated = 0;      // YYYYMMDD
    std::string name;
    std::string text;     // a cache's short description, a waypoint's comment from the source

protected:
    CGeoPoint() = default;
    CGeoPoint(const CGeoPoint&) = default;
    CGeoPoint& operator=(const CGeoPoint&) = default;
    CGeoPoint(CGeoPoint&&) noexcept = default;
    CGeoPoint& operator=(CGeoPoint&&) noexcept = default;
};

// False for a point without a position (both coordinates 0).
inline bool hasPosition(const CGeoPoint& point)
{
    return point.lat != 0.0 || point.lon != 0.0;
}

} // namespace tw

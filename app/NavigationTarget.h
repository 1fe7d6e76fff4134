// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

// The cache or waypoint the user navigates to: the navigation view, the
// map's target line and the proximity alert read it.
struct NavigationTarget {
    std::string name;
    std::string code; // the cache's code (for a waypoint, its cache's)
    double lat = 0.0;
    double lon = 0.0;
};

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

// A travel bug (trackable) lying in a cache, as pocket queries list it:
// <groundspeak:travelbug id="2446695" ref="TB32XRJ"><groundspeak:name>...
class CTravelBug {
public:
    int id = 0;       // the service's number of the travel bug; 0 when unknown
    std::string ref;  // its public code ("TB32XRJ"); empty when the file has none
    std::string name;

    bool operator==(const CTravelBug&) const = default;
};

} // namespace tw

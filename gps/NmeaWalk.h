// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <ctime>
#include <string>
#include <vector>

namespace tw::nmea {

// A recorded walk for the replay port: one fix a second at speedMps along
// the points (the last fix is the last point), from start (UTC), each fix
// as a receiver sends it — GGA, RMC, GSA and GSV lines with checksums,
// ending in CR LF.
std::string walkLog(const std::vector<geo::LatLon>& points, double speedMps, std::time_t start);

// The line "$<body>*hh" with the checksum of body.
std::string withChecksum(const std::string& body);

} // namespace tw::nmea

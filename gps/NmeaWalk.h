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

// A coordinate as NMEA writes it, ddmm.mmmmm or dddmm.mmmmm, a comma and the
// hemisphere letter; always with a decimal point.
std::string coordinate(double degrees, bool isLongitude);

// The line "$<body>*hh" with the checksum of body.
std::string withChecksum(const std::string& body);

} // namespace tw::nmea

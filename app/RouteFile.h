// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace tw {

class CGlobalData;

// Loads every route and track of a route file (GPX, KML, PLT, RTE) as the
// lines the map draws and remembers the file as LastRoute. An empty path does nothing; a file
// that does not exist leaves everything as it was. A file that cannot be
// read clears the route and LastRoute and says so (text 358).
bool loadRoute(CGlobalData& global, const std::string& path);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace httplib {
class Server;
}

namespace sim {

// The address search service:
//   GET /geocode?q=TEXT&output=xml
// A query that contains one of a few known place names (case as written)
// answers with status 200, the place's address, an accuracy and its
// coordinates ("lon,lat,0"); any other query with status 602 and no place.
void addGeocoder(httplib::Server& server);

} // namespace sim

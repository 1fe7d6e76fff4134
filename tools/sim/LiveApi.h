// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's Live API v5: caches from a pocket query, users by token,
// searches with paging, limits, status refresh, profile and publishing.
#pragma once

#include <string>
#include <vector>

namespace httplib {
class Server;
}

namespace sim {

struct LiveOptions {
    std::string pocketQuery;            // GPX file the caches come from
    std::vector<std::string> users;     // "NAME:TOKEN:premium|basic"
    int fullLimit = 6000;               // full caches per window (Premium)
    int basicFullLimit = 3;             // full caches per window (Basic)
    int liteLimit = 10000;
    std::string fault;                  // slow, truncated, 500, wrongtype
    int faultRequest = 0;               // only the n-th Live request (1-based); 0: every one
    int slowSeconds = 30;
};

// Adds the routes below /LiveV5/Geocaching.svc/. False (with the reason on
// stderr) when the pocket query or a user cannot be read.
bool installLiveApi(httplib::Server& server, const LiveOptions& options);

} // namespace sim

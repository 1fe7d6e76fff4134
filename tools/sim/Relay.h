// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

namespace httplib {
class Server;
}

namespace sim {

// An account of the sign-in relay: who may sign in, and the access token the
// relay hands back for them.
struct RelayAccount {
    std::string user;
    std::string password;
    std::string token;
};

struct RelayOptions {
    std::string secret = "5D0C9E27A4B31F86C2E7054D9A1B3F60";
    std::vector<RelayAccount> accounts;
};

// Reads "--relay-secret HEX" or "--relay-user NAME:PASSWORD:TOKEN" at
// argv[i]; true (with i on the option's value) when it was one of them.
bool readRelayOption(int argc, char** argv, int& i, RelayOptions& options);

// The sign-in relay below /oa/:
//   GET  /oa/init.php            a new ticket (32 hexadecimal digits)
//   GET  /oa/login.php?a=T&b=S   the sign-in form when S is the upper-case hex
//                                MD5 of T followed by the secret; 403 otherwise
//   POST /oa/login.php           a, b, user, password: 302 to
//                                /oa/done.php?tk=<token, scrambled>
//   GET  /oa/status.php?a=T      where the form page goes next (empty: stay)
//   GET  /oa/done.php            the finished page
// The form page asks status.php every half second, so a sign-in posted from
// elsewhere (a script) also brings the browser to the finished page.
// Test helper:
//   POST /_sim/relay-detour      a=T&url=U: the form page of T goes to U once
//                                first (a done.php with back=<address>
//                                returns there)
void addRelay(httplib::Server& server, RelayOptions options);

// The same scrambling as the program's stored secrets: letters outside
// "[...]" move 13 places.
std::string scramble(const std::string& text);

} // namespace sim

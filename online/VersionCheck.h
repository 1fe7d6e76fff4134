// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace tw::net {

class CNetClient;

/** "a.b.c.d" read as four leading integers separated by points; text after
 *  the fourth number is ignored. Nothing when four numbers do not read. */
std::optional<std::array<int, 4>> parseVersion(std::string_view text);

/** True when any of the four numbers of available is greater than the
 *  number in the same place of program (the comparison the announcement has
 *  always used: "1.5.9.99" counts as newer than "1.6.0.95"). */
bool isAnnouncedAsNewer(std::string_view available, std::string_view program);

/** The update endpoint: TARNWICK_UPDATE_URL; empty when none is set, and
 *  then no request is made. */
std::string updateEndpoint();

/** The update check's inputs and the values it changes. */
struct VersionCheckState {
    std::string availVersion; // AvailVersion setting
    std::string anVersion;    // AnVersion setting: the version last announced
    bool ran = false;         // the check already asked the server in this run
};

/** Asks the endpoint for the newest version when allowed: interactively
 *  only with downloads on, otherwise once per run. Returns the version to
 *  announce (and records it as announced), or nothing. */
std::optional<std::string> checkVersion(CNetClient& client, const std::string& endpoint, bool interactive,
                                        bool downloadsOn, const std::string& nickname, const std::string& language,
                                        const std::string& programVersion, VersionCheckState& state);

} // namespace tw::net

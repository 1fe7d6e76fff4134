// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Settings.h"

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace tw {

class CGlobalData;

// The refresh periods of the search results the options offer, seconds
// (0: no refresh).
inline constexpr std::array<int, 6> kRefreshChoices{0, 30, 60, 120, 300, 600};

// The sound files the alert can play: <install>/sounds/*.wav by name.
std::vector<std::filesystem::path> alertSoundFiles(const std::filesystem::path& installDir);

struct OptionsOutcome {
    bool applied = false;          // false: nothing at all was changed
    std::string problem;           // why not, a sentence for the user
    bool databaseSwitched = false;
    bool gpsRestarted = false;
};

// Puts edited settings in force, as confirming the options does: another
// database file is opened first (made from the template when it does not
// exist; when that fails nothing changes), then every group but the online
// state is saved, the power options are taken again, the receiver is
// restarted when its port or speed changed (and it runs or starts by
// itself), recording and the alert follow, and the screens hear of it
// (Topic::Settings). The language table stays as it is until the next start.
OptionsOutcome applyOptions(CGlobalData& global, const Settings& edited);

} // namespace tw

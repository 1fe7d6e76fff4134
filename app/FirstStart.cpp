// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FirstStart.h"

#include "app/CGlobalData.h"

#include <filesystem>

namespace tw {

bool isFirstStart(const CGlobalData& global)
{
    std::error_code ec;
    return !std::filesystem::exists(global.settingsPath(), ec);
}

void storeFirstLanguage(CGlobalData& global, const std::string& code)
{
    global.settings.language = code;
    // Saving the user group writes the file; the texts follow the choice.
    global.SaveSettings(SettingsGroup::User);
    global.lang.loadTable(global.GetInstallDir(), code);
}

void storeFirstHome(CGlobalData& global, std::optional<geo::LatLon> home)
{
    global.settings.homeLat = home ? home->lat : 0.0;
    global.settings.homeLon = home ? home->lon : 0.0;
    global.SaveSettings(SettingsGroup::User);
}

} // namespace tw

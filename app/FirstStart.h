// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"

#include <optional>
#include <string>

namespace tw {

class CGlobalData;

// The first start of the window: no settings file exists yet in the settings
// folder, so the window asks for the language and the home position before
// the cache list opens. Batch words never ask.
bool isFirstStart(const CGlobalData& global);

// Stores the chosen language at once and reloads the texts in it.
void storeFirstLanguage(CGlobalData& global, const std::string& code);

// Stores the home position at once; nothing ("later") keeps home unset
// (0°, 0°, as the options show it).
void storeFirstHome(CGlobalData& global, std::optional<geo::LatLon> home);

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RouteFile.h"

#include "app/CGlobalData.h"
#include "exchange/RouteLoader.h"
#include "gps/CTrackLogger.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"

namespace tw {
namespace {

constexpr int kTextRouteUnreadable = 358;
constexpr const char* kLastRoute = "LastRoute";

} // namespace

bool loadRoute(CGlobalData& global, const std::string& path)
{
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec))
        return false;
    auto route = loadRouteFile(path);
    if (!route) {
        if (global.gpsServices.trackLogger)
            global.gpsServices.trackLogger->route.clear();
        global.setStateString(kLastRoute, "");
        global.prompter.message(global.text(kTextRouteUnreadable), MessageIcon::Exclamation);
        global.notifier.stateChanged(Topic::Track);
        return false;
    }
    if (global.gpsServices.trackLogger)
        global.gpsServices.trackLogger->route = std::move(*route);
    global.setStateString(kLastRoute, path);
    global.notifier.stateChanged(Topic::Track);
    return true;
}

} // namespace tw

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

bool loadRoute(CGlobalData& g, const std::string& path)
{
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec))
        return false;
    auto route = loadRouteFile(path);
    if (!route) {
        if (g.gpsServices.trackLogger)
            g.gpsServices.trackLogger->route.clear();
        g.setStateString(kLastRoute, "");
        g.prompter.message(g.text(kTextRouteUnreadable), MessageIcon::Exclamation);
        g.notifier.stateChanged(Topic::Track);
        return false;
    }
    if (g.gpsServices.trackLogger)
        g.gpsServices.trackLogger->route = std::move(*route);
    g.setStateString(kLastRoute, path);
    g.notifier.stateChanged(Topic::Track);
    return true;
}

} // namespace tw

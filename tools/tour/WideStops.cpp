// SPDX-License-Identifier: GPL-3.0-or-later
// The window at a desk's width: the list, the map and the listing of the
// sample's richest cache side by side, and the filter in the right pane.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "screens/CFilterScr.h"
#include "screens/CMapScreen.h"
#include "screens/CacheListScreen.h"
#include "screens/MainWindow.h"

namespace tw {
namespace {

// The sample's richest cache, listed (the list is read again once it is
// stored) and chosen as a tap on its row would.
void chooseSample(TourContext& t)
{
    const std::string code = addListingSample(t.global);
    prepareMaps(t.global);
    if (CMapScreen* map = t.window.paneMap(); map && !map->provider())
        map->rebuildProvider(false);
    if (t.window.cacheList())
        t.window.cacheList()->reload();
    t.window.chooseCache(code);
}

} // namespace

void addDeskStops(std::vector<TourStop>& stops)
{
    stops.push_back({QStringLiteral("wide-listing"), [](TourContext& t) -> QWidget* {
                         chooseSample(t);
                         return t.window.isWide() ? &t.window : nullptr;
                     }});
    stops.push_back({QStringLiteral("wide-filter"), [](TourContext& t) -> QWidget* {
                         chooseSample(t);
                         openFilterScreen(t.window, t.global);
                         return t.window.isWide() ? &t.window : nullptr;
                     }});
}

} // namespace tw

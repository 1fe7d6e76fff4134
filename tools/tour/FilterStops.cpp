// SPDX-License-Identifier: GPL-3.0-or-later
// The filter screen, one picture per page.
#include "tools/tour/TourStops.h"

#include "app/CGlobalData.h"
#include "db/FullText.h"
#include "db/Tags.h"
#include "screens/CFilterScr.h"
#include "screens/MainWindow.h"

#include <QTabWidget>

namespace tw {
namespace {

// Tags of the user's own and two saved filters, added once.
void addFilterSamples(CGlobalData& global)
{
    static bool added = false;
    if (added)
        return;
    added = true;
    const char* colours[] = {"red", "blue", "green"};
    for (std::size_t i = 0; i < global.list.caches.size() && i < 9; ++i)
        AddTag(global.db.cacheDb, global.list.caches[i]->code, "colour", colours[i % 3]);
    CacheFilter nearby = global.list.filter;
    nearby.distanceKm = 5;
    nearby.SaveToFile(global.list.filterFolder(), "nearby");
    CacheFilter events = global.list.filter;
    events.cacheTypes.fill(0);
    events.cacheTypes[CacheFilter::Event] = 1;
    events.SaveToFile(global.list.filterFolder(), "events_this_month");
}

TourStop page(const char* name, int tab, void (*prepare)(CacheFilter&) = nullptr)
{
    return {QString::fromLatin1(name), [tab, prepare](TourContext& t) -> QWidget* {
                addFilterSamples(t.global);
                const CacheFilter kept = t.global.list.filter;
                if (prepare)
                    prepare(t.global.list.filter);
                auto* screen = new CFilterScr(t.global, t.window);
                t.global.list.filter = kept;
                t.window.pushScreen(screen);
                screen->tabs()->setCurrentIndex(tab);
                return &t.window;
            }};
}

} // namespace

void addFilterStops(std::vector<TourStop>& stops)
{
    stops.push_back(page("filter-properties", 0, [](CacheFilter& f) {
        f.name = "mill";
        f.distanceKm = 2.5;
        f.active = 1;
    }));
    stops.push_back(page("filter-text", 0, [](CacheFilter& f) {
        f.textQuery = "magnetic plaque";
        f.textFields = TextField::Logs;
    }));
    stops.push_back(page("filter-types", 1));
    stops.push_back(page("filter-position", 2, [](CacheFilter& f) {
        f.refPoint = 2;
        f.manLat = 50.0833;
        f.manLon = 14.4167;
    }));
    stops.push_back(page("filter-tags", 3, [](CacheFilter& f) {
        f.useTag = 1;
        f.tagCategory = "colour";
        f.tagValue = "blue";
    }));
    stops.push_back(page("filter-saved", 4));
    stops.push_back(page("filter-import", 5));
}

} // namespace tw

// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/tour/SampleWorld.h"

#include "app/CGlobalData.h"
#include "db/CacheStore.h"
#include "db/Tags.h"
#include "db/Transaction.h"
#include "geo/GeoMath.h"

#include <array>
#include <string>

namespace tw {
namespace {

constexpr geo::LatLon kCentre{50.0875, 14.4213};

const std::array<const char*, 12> kNames = {
    "Old Town Bridge",  "Vineyard Steps",   "Under the Castle", "Astronomer's Riddle",
    "Island in the River", "Tram Depot",    "Letná Lookout",    "Hidden Courtyard",
    "Brewery Cellar",   "Quiet Cemetery",   "Railway Viaduct",  "Monastery Garden"};
const std::array<int, 6> kTypes = {CacheType::Traditional, CacheType::Multi,      CacheType::Unknown,
                                   CacheType::Earthcache,  CacheType::Letterbox, CacheType::Wherigo};

std::string longDescription(int i)
{
    return "<p>Welcome to <b>" + std::string(kNames[static_cast<std::size_t>(i) % kNames.size()]) +
           "</b>. The cache is a small box behind a loose stone.</p>"
           "<p><img src='http://img.example.org/cache/" + std::to_string(1000 + i) +
           "/view.jpg'> The view from the start.</p>"
           "<ul><li>Park at the square.</li><li>Walk 300 m north.</li></ul>"
           "<p>Letters for the final: A = number of windows, B = year on the gate.</p>";
}

} // namespace

void fillSampleDatabase(CGlobalData& global)
{
    SQLite::Transaction batch(global.db.cacheDb);
    CacheStore store(global.db.cacheDb, global.db.tagCategories, 0);
    for (int i = 0; i < 40; ++i) {
        CGeocache c;
        c.code = "GC" + std::to_string(4000 + i * 37);
        c.name = kNames[static_cast<std::size_t>(i) % kNames.size()];
        if (i >= static_cast<int>(kNames.size()))
            c.name += " " + std::to_string(i / static_cast<int>(kNames.size()) + 1);
        c.author = i % 3 ? "riverwalker" : "Jana & Petr";
        const geo::LatLon at = geo::projectPoint(kCentre, 0.2 + i * 0.35, i * 47.0);
        c.lat = at.lat;
        c.lon = at.lon;
        c.type = kTypes[static_cast<std::size_t>(i) % kTypes.size()];
        c.size = 1 + i % 5;
        c.difficulty = 10 + 5 * (i % 9);
        c.terrain = 10 + 5 * ((i * 4) % 9);
        c.hidden = 20080101 + (i % 12) * 100 + i % 28;
        c.status = i % 11 == 5 ? 1 : (i % 13 == 7 ? 2 : 0);
        if (i % 4 == 1) {
            c.found = 20240500 + i % 28 + 1;
            c.foundTime = 1030;
        }
        c.text = i % 2 ? "<p>A short walk with a view.</p>" : "";
        c.shortDescHtml = 1;
        c.longDesc = longDescription(i);
        c.longDescHtml = 1;
        c.hint = "Behind the third stone from the left";
        c.country = "Czech Republic";
        c.state = "Prague";
        c.attributes = {"dogs", "parking", "scenic"};
        for (int l = 0; l < 4; ++l) {
            auto log = std::make_unique<CGeoLog>();
            log->date = 20240610 - l * 17;
            log->type = l == 2 ? LogType::DidntFindIt : LogType::FoundIt;
            log->finder = l % 2 ? "TrailMole" : "kapr&sons";
            log->text = l == 2 ? "Searched for half an hour, <b>no luck</b>. Muggles everywhere."
                               : "Found it quickly.\nThanks for the cache! TFTC";
            log->logId = 900000 + i * 10 + l;
            c.logs.push_back(std::move(log));
        }
        if (c.type == CacheType::Multi || c.type == CacheType::Unknown) {
            for (int w = 0; w < 2; ++w) {
                auto wpt = std::make_unique<CWaypoint>();
                wpt->code = c.code;
                wpt->prefix = w ? "FN" : "PK";
                wpt->name = w ? "Final location" : "Parking";
                wpt->type = w ? WaypointType::Final : WaypointType::Parking;
                const geo::LatLon p = geo::projectPoint(at, 0.15 * (w + 1), 120.0 * w);
                wpt->lat = p.lat;
                wpt->lon = p.lon;
                wpt->text = w ? "N 50° AB.CDE E 014° 2F.GHI" : "Free parking on weekends";
                wpt->flag = 1;
                c.waypoints.push_back(std::move(wpt));
            }
        }
        store.InsertCache(c);
    }
    batch.commit();
    global.db.ReadDbCounters();
}

} // namespace tw

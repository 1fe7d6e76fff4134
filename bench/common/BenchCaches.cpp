// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/common/BenchCaches.h"

#include "db/CGeoLog.h"
#include "db/CWaypoint.h"
#include "exchange/CGpxImporter.h"

#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>

namespace tw::bench {
namespace {

const char* const kWords[] = {"les", "potok", "kámen", "cesta", "most", "studánka", "vyhlídka", "kaplička",
                              "Schatz", "Brücke", "Mühle", "forest", "creek", "stone", "path", "žluťoučký"};

} // namespace

std::string words(std::mt19937& rng, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i) {
        if (i)
            s += ' ';
        s += kWords[rng() % std::size(kWords)];
    }
    return s;
}

CGeocache makeCache(std::mt19937& rng, int n)
{
    static const int kTypes[] = {CacheType::Traditional, CacheType::Multi, CacheType::Unknown, CacheType::Earthcache,
                                 CacheType::Letterbox};
    static const int kSizes[] = {CacheSize::Micro, CacheSize::Small, CacheSize::Regular, CacheSize::Other};
    CGeocache c;
    char code[16];
    std::snprintf(code, sizeof code, "GC%05X", 0x10000 + n);
    c.code = code;
    c.guid = "9f1c2d3e-0000-4000-8000-" + std::to_string(100000000000LL + n);
    c.name = "Keš " + words(rng, 3) + " #" + std::to_string(n);
    c.author = "owner" + std::to_string(rng() % 5000);
    c.ownerId = static_cast<int>(rng() % 1000000) + 1;
    c.cacheId = 1000000 + n;
    c.lat = 48.5 + (rng() % 200000) / 100000.0;
    c.lon = 12.0 + (rng() % 600000) / 100000.0;
    c.type = kTypes[rng() % std::size(kTypes)];
    c.size = kSizes[rng() % std::size(kSizes)];
    c.difficulty = 10 + 5 * static_cast<int>(rng() % 9);
    c.terrain = 10 + 5 * static_cast<int>(rng() % 9);
    c.hidden = 20000101 + static_cast<int>(rng() % 20) * 10000 + static_cast<int>(rng() % 12) * 100 +
               static_cast<int>(rng() % 28);
    c.country = "Czech Republic";
    c.state = "Jihočeský kraj";
    c.text = words(rng, 20);
    c.shortDescHtml = 1;
    std::string html = "<p>";
    for (int p = 0; p < 6 + static_cast<int>(rng() % 10); ++p)
        html += "<b>" + words(rng, 4) + "</b> " + words(rng, 30) + ".<br />\n";
    html += "</p>";
    c.longDesc = html;
    c.longDescHtml = 1;
    c.hint = words(rng, 5);
    for (int a = 0; a < static_cast<int>(rng() % 8); ++a)
        c.attributes.push_back(attributeName(1 + static_cast<int>(rng() % 66)) + (rng() % 4 ? "-yes" : "-no"));
    const int logs = 5 + static_cast<int>(rng() % 16);
    for (int l = 0; l < logs; ++l) {
        auto log = std::make_unique<CGeoLog>();
        log->logId = static_cast<int>(rng() % 900000000);
        log->date = 20100101 + static_cast<int>(rng() % 15) * 10000 + static_cast<int>(rng() % 12) * 100 + 1;
        log->type = rng() % 5 == 0 ? LogType::DidntFindIt : LogType::FoundIt;
        log->finder = "cacher" + std::to_string(rng() % 20000);
        log->finderId = static_cast<int>(rng() % 9000000);
        log->text = words(rng, 10 + static_cast<int>(rng() % 60));
        c.logs.push_back(std::move(log));
    }
    if (c.type == CacheType::Multi || c.type == CacheType::Unknown) {
        for (const char* prefix : {"PK", "FN"}) {
            auto w = std::make_unique<CWaypoint>();
            w->prefix = prefix;
            w->name = prefix[0] == 'P' ? "Parkoviště" : "Final";
            w->type = prefix[0] == 'P' ? WaypointType::Parking : WaypointType::Final;
            w->lat = c.lat + 0.001;
            w->lon = c.lon - 0.001;
            w->text = words(rng, 6);
            c.waypoints.push_back(std::move(w));
        }
    }
    return c;
}

// The heavier listing: longer logs and descriptions than makeCache gives.
void makeHeavy(std::mt19937& rng, CGeocache& c)
{
    std::string html = "<table><tr><td><img src=\"https://img.example.org/" + c.code + ".jpg\" /></td></tr></table>\n";
    while (html.size() < 3600 + rng() % 900)
        html += "<p><span style=\"font-size:small;\"><b>" + words(rng, 4) + "</b> " + words(rng, 40) +
                " &amp; " + words(rng, 8) + ".</span></p>\n";
    c.longDesc = html;
    c.text = "<p>" + words(rng, 30) + "</p>";
    c.hint = words(rng, 12);
    for (auto& log : c.logs)
        log->text = words(rng, 55 + static_cast<int>(rng() % 60)) + ".\r\n" + words(rng, 8) + " TFTC!";
}

// Moves the cache and its waypoints to a random spot within radiusKm of centre.
void placeAround(std::mt19937& rng, CGeocache& c, geo::LatLon centre, double radiusKm)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const geo::LatLon at = geo::projectPoint(centre, radiusKm * std::sqrt(unit(rng)), 360.0 * unit(rng));
    const double dLat = at.lat - c.lat, dLon = at.lon - c.lon;
    c.lat = at.lat;
    c.lon = at.lon;
    for (auto& w : c.waypoints) {
        w->lat += dLat;
        w->lon += dLon;
    }
}

} // namespace tw::bench

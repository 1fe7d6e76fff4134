// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a pocket query of N realistic caches for the import benchmark:
// 5 to 20 logs each, attributes, HTML descriptions with accented text, and
// two additional waypoints for every Multi-cache and Unknown Cache.
//   make_pocket_query N FILE [--centre LAT,LON [--radius KM]]
// With a centre the caches lie within the radius (default 3 km) of it.
#include "db/Records.h"
#include "exchange/GpxWriter.h"
#include "geo/GeoMath.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <string>

using namespace tw;

namespace {

const char* const kWords[] = {"les", "potok", "kámen", "cesta", "most", "studánka", "vyhlídka", "kaplička",
                              "Schatz", "Brücke", "Mühle", "forest", "creek", "stone", "path", "žluťoučký"};

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

} // namespace

int main(int argc, char** argv)
{
    std::optional<geo::LatLon> centre;
    double radiusKm = 3.0;
    bool usable = argc >= 3 && argc % 2 == 1;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        geo::LatLon at;
        if (option == "--centre" && std::sscanf(argv[i + 1], "%lf,%lf", &at.lat, &at.lon) == 2)
            centre = at;
        else if (option == "--radius")
            radiusKm = std::atof(argv[i + 1]);
        else
            usable = false;
    }
    if (!usable || !(radiusKm > 0)) {
        std::fprintf(stderr, "usage: make_pocket_query N FILE [--centre LAT,LON [--radius KM]]\n");
        return 2;
    }
    const int count = std::atoi(argv[1]);
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) {
        std::perror(argv[2]);
        return 1;
    }
    std::mt19937 rng(20261207);
    GpxWriter writer(out);
    writer.header(std::time(nullptr));
    for (int i = 0; i < count; ++i) {
        CGeocache c = makeCache(rng, i);
        if (centre)
            placeAround(rng, c, *centre, radiusKm);
        writer.cache(c);
    }
    writer.footer();
    std::fclose(out);
    return writer.ok() ? 0 : 1;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a receiver log of a walk from cache to cache of a pocket query, for
// the GPS port "replay:FILE":
//   make_nmea_walk PQ.gpx OUT.nmea [--speed M/S] [--stops N]
// The walk starts at the cache nearest to the middle of them all and goes on
// to the nearest cache not yet visited, N caches (default 40) in all, at the
// speed given (default 1.5 m/s), one fix a second.
#include "geo/GeoMath.h"
#include "gps/NmeaWalk.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

using namespace tw;

namespace {

// The caches' positions: every <wpt> whose <name> is a cache code.
std::vector<geo::LatLon> cachePositions(const std::string& gpx)
{
    static const std::regex wpt(R"re(<wpt lat="([-0-9.]+)" lon="([-0-9.]+)">\s*(?:<[^n][^>]*>[^<]*</[^>]+>\s*)*<name>GC)re");
    std::vector<geo::LatLon> points;
    for (auto it = std::sregex_iterator(gpx.begin(), gpx.end(), wpt); it != std::sregex_iterator(); ++it)
        points.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
    return points;
}

std::vector<geo::LatLon> nearestNeighbourWalk(std::vector<geo::LatLon> caches, std::size_t stops)
{
    geo::LatLon middle;
    for (const auto& c : caches) {
        middle.lat += c.lat / static_cast<double>(caches.size());
        middle.lon += c.lon / static_cast<double>(caches.size());
    }
    std::vector<geo::LatLon> walk;
    geo::LatLon at = middle;
    while (walk.size() < stops && !caches.empty()) {
        const auto nearest = std::min_element(caches.begin(), caches.end(), [&](const auto& a, const auto& b) {
            return geo::distanceKm(at, a) < geo::distanceKm(at, b);
        });
        at = *nearest;
        walk.push_back(at);
        caches.erase(nearest);
    }
    return walk;
}

} // namespace

int main(int argc, char** argv)
{
    double speed = 1.5;
    long stops = 40;
    bool usable = argc >= 3 && argc % 2 == 1;
    for (int i = 3; usable && i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--speed")
            speed = std::atof(argv[i + 1]);
        else if (option == "--stops")
            stops = std::atol(argv[i + 1]);
        else
            usable = false;
    }
    if (!usable || !(speed > 0) || stops < 2) {
        std::fputs("usage: make_nmea_walk PQ.gpx OUT.nmea [--speed M/S] [--stops N]\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string gpx((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<geo::LatLon> caches = cachePositions(gpx);
    if (caches.size() < 2) {
        std::fprintf(stderr, "make_nmea_walk: %s holds fewer than two caches.\n", argv[1]);
        return 1;
    }
    const std::string log = nmea::walkLog(nearestNeighbourWalk(caches, static_cast<std::size_t>(stops)), speed,
                                          std::time(nullptr));
    std::ofstream out(argv[2], std::ios::binary);
    out << log;
    out.close();
    if (!out) {
        std::fprintf(stderr, "make_nmea_walk: %s cannot be written.\n", argv[2]);
        return 1;
    }
    return 0;
}

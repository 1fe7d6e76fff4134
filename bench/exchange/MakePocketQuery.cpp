// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a pocket query of N realistic caches for the import benchmark:
// 5 to 20 logs each, attributes, HTML descriptions with accented text, and
// two additional waypoints for every Multi-cache and Unknown Cache.
//   make_pocket_query [--shape default|heavy] N FILE [--centre LAT,LON [--radius KM]]
// The heavy shape is what a full pocket query of busy caches looks like:
// about 7 KB of log text and a 4 KB HTML description per cache, written
// escaped rather than in CDATA, and travel bugs in some of the caches.
// With a centre the caches lie within the radius (default 3 km) of it.
#include "bench/common/BenchCaches.h"
#include "db/CGeoLog.h"
#include "db/CGeocache.h"
#include "db/CWaypoint.h"
#include "exchange/CGpxImporter.h"
#include "exchange/GpxWriter.h"
#include "geo/GeoMath.h"
#include "platform/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace tw;
using tw::bench::words;

namespace {

void put(std::FILE* out, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
}

// A heavy cache as pocket queries write it: texts escaped, not in CDATA.
void writeHeavy(std::FILE* out, std::mt19937& rng, const CGeocache& c)
{
    const std::string difficulty = ratingText(c.difficulty);
    const std::string terrain = ratingText(c.terrain);
    put(out, "  <wpt lat=\"" + num::formatFixed(c.lat, 6) + "\" lon=\"" + num::formatFixed(c.lon, 6) + "\">");
    put(out, "    <time>" + gpxTimeOfDate(c.hidden) + "</time>");
    put(out, "    <name>" + c.code + "</name>");
    put(out, "    <desc>" + xmlEscape(c.name + " by " + c.author + ", " + cacheTypeText(c.type) + " (" + difficulty +
                               "/" + terrain + ")") + "</desc>");
    put(out, "    <url>https://www.example.org" + std::string(kCacheUrlPath) + c.guid + "</url>");
    put(out, "    <urlname>" + xmlEscape(c.name) + "</urlname>");
    put(out, "    <sym>Geocache</sym>");
    put(out, "    <type>Geocache|" + cacheTypeText(c.type) + "</type>");
    put(out, "    <groundspeak:cache id=\"" + std::to_string(c.cacheId) +
                 "\" available=\"True\" archived=\"False\" xmlns:groundspeak=\"" + kCache101Namespace + "\">");
    put(out, "      <groundspeak:name>" + xmlEscape(c.name) + "</groundspeak:name>");
    put(out, "      <groundspeak:placed_by>" + xmlEscape(c.author) + "</groundspeak:placed_by>");
    put(out, "      <groundspeak:owner id=\"" + std::to_string(c.ownerId) + "\">" + xmlEscape(c.author) +
                 "</groundspeak:owner>");
    put(out, "      <groundspeak:type>" + cacheTypeText(c.type) + "</groundspeak:type>");
    put(out, "      <groundspeak:container>" + cacheSizeText(c.size) + "</groundspeak:container>");
    put(out, "      <groundspeak:attributes>");
    for (const auto& entry : c.attributes) {
        const std::size_t dash = entry.rfind('-');
        for (int id = 1; id < 100; ++id)
            if (attributeName(id) == entry.substr(0, dash))
                put(out, "        <groundspeak:attribute id=\"" + std::to_string(id) + "\" inc=\"" +
                             (entry.substr(dash + 1) == "no" ? "0" : "1") + "\">" + xmlEscape(entry.substr(0, dash)) +
                             "</groundspeak:attribute>");
    }
    put(out, "      </groundspeak:attributes>");
    put(out, "      <groundspeak:difficulty>" + difficulty + "</groundspeak:difficulty>");
    put(out, "      <groundspeak:terrain>" + terrain + "</groundspeak:terrain>");
    put(out, "      <groundspeak:country>" + c.country + "</groundspeak:country>");
    put(out, "      <groundspeak:state>" + c.state + "</groundspeak:state>");
    put(out, "      <groundspeak:short_description html=\"True\">" + xmlEscape(c.text) +
                 "</groundspeak:short_description>");
    put(out, "      <groundspeak:long_description html=\"True\">" + xmlEscape(c.longDesc) +
                 "</groundspeak:long_description>");
    put(out, "      <groundspeak:encoded_hints>" + xmlEscape(c.hint) + "</groundspeak:encoded_hints>");
    put(out, "      <groundspeak:logs>");
    for (const auto& log : c.logs) {
        put(out, "        <groundspeak:log id=\"" + std::to_string(log->logId) + "\">");
        put(out, "          <groundspeak:date>" + gpxTimeOfDate(log->date) + "</groundspeak:date>");
        put(out, "          <groundspeak:type>" + logTypeText(log->type) + "</groundspeak:type>");
        put(out, "          <groundspeak:finder id=\"" + std::to_string(log->finderId) + "\">" +
                     xmlEscape(log->finder) + "</groundspeak:finder>");
        put(out, "          <groundspeak:text encoded=\"False\">" + xmlEscape(log->text) + "</groundspeak:text>");
        put(out, "        </groundspeak:log>");
    }
    put(out, "      </groundspeak:logs>");
    put(out, "      <groundspeak:travelbugs>");
    for (int t = static_cast<int>(rng() % 4) - 1; t > 0; --t) {
        const unsigned ref = 0x10000 + rng() % 0xEFFFF;
        put(out, "        <groundspeak:travelbug id=\"" + std::to_string(ref) + "\" ref=\"TB" + std::to_string(ref) +
                     "\">");
        put(out, "          <groundspeak:name>" + xmlEscape(words(rng, 3)) + "</groundspeak:name>");
        put(out, "        </groundspeak:travelbug>");
    }
    put(out, "      </groundspeak:travelbugs>");
    put(out, "    </groundspeak:cache>");
    put(out, "  </wpt>");
    const std::string tail = c.code.substr(2);
    for (const auto& w : c.waypoints) {
        put(out, "  <wpt lat=\"" + num::formatFixed(w->lat, 6) + "\" lon=\"" + num::formatFixed(w->lon, 6) + "\">");
        put(out, "    <time>" + gpxTimeOfDate(c.hidden) + "</time>");
        put(out, "    <name>" + w->prefix + tail + "</name>");
        put(out, "    <cmt>" + xmlEscape(w->text) + "</cmt>");
        put(out, "    <desc>" + xmlEscape(w->name) + "</desc>");
        put(out, "    <url>https://www.example.org" + std::string(kWaypointUrlPath) + w->prefix + tail + "</url>");
        put(out, "    <urlname>" + xmlEscape(w->name) + "</urlname>");
        put(out, "    <sym>" + waypointTypeText(w->type) + "</sym>");
        put(out, "    <type>Waypoint|" + waypointTypeText(w->type) + "</type>");
        put(out, "  </wpt>");
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    bool heavy = false;
    std::optional<geo::LatLon> centre;
    double radiusKm = 3.0;
    bool usable = true;
    for (auto it = args.begin(); it != args.end();) {
        if (it->rfind("--", 0) != 0) {
            ++it;
            continue;
        }
        geo::LatLon at;
        if (it + 1 == args.end())
            usable = false;
        else if (*it == "--shape" && (it[1] == "heavy" || it[1] == "default"))
            heavy = it[1] == "heavy";
        else if (*it == "--centre" && std::sscanf(it[1].c_str(), "%lf,%lf", &at.lat, &at.lon) == 2)
            centre = at;
        else if (*it == "--radius")
            radiusKm = std::atof(it[1].c_str());
        else
            usable = false;
        it = args.erase(it, std::min(it + 2, args.end()));
    }
    if (!usable || args.size() != 2 || !(radiusKm > 0)) {
        std::fprintf(stderr, "usage: make_pocket_query [--shape default|heavy] N FILE [--centre LAT,LON [--radius KM]]\n");
        return 2;
    }
    const int count = std::atoi(args[0].c_str());
    std::FILE* out = std::fopen(args[1].c_str(), "wb");
    if (!out) {
        std::perror(args[1].c_str());
        return 1;
    }
    std::mt19937 rng(20261207);
    GpxWriter writer(out);
    writer.header(std::time(nullptr));
    for (int i = 0; i < count; ++i) {
        CGeocache c = bench::makeCache(rng, i);
        if (centre)
            bench::placeAround(rng, c, *centre, radiusKm);
        if (heavy) {
            bench::makeHeavy(rng, c);
            writeHeavy(out, rng, c);
        } else {
            writer.cache(c);
        }
    }
    writer.footer();
    std::fclose(out);
    return writer.ok() ? 0 : 1;
}

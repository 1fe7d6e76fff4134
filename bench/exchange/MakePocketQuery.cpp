// SPDX-License-Identifier: GPL-3.0-or-later
// Writes a pocket query of N realistic caches for the import benchmark:
// 5 to 20 logs each, attributes, HTML descriptions with accented text, and
// two additional waypoints for every Multi-cache and Unknown Cache.
//   make_pocket_query [--shape default|heavy] N FILE [--centre LAT,LON [--radius KM]]
// The heavy shape is what a full pocket query of busy caches looks like:
// about 7 KB of log text and a 4 KB HTML description per cache, written
// escaped rather than in CDATA, and travel bugs in some of the caches.
// With a centre the caches lie within the radius (default 3 km) of it.
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

void put(std::FILE* out, const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), out);
    std::fputc('\n', out);
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
        CGeocache c = makeCache(rng, i);
        if (centre)
            placeAround(rng, c, *centre, radiusKm);
        if (heavy) {
            makeHeavy(rng, c);
            writeHeavy(out, rng, c);
        } else {
            writer.cache(c);
        }
    }
    writer.footer();
    std::fclose(out);
    return writer.ok() ? 0 : 1;
}

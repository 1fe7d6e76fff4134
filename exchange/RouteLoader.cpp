// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/RouteLoader.h"

#include "platform/Numbers.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

namespace tw {
namespace {

// The points of the first route or track of a GPX file.
struct RouteReader {
    std::vector<geo::LatLon> route;
    bool inGpx = false;
    bool inRoute = false;
    bool inPoint = false;
    bool done = false;
    geo::LatLon point;

    static bool isPoint(const std::string& name) { return name == "rtept" || name == "trkpt"; }
    static bool isRoute(const std::string& name) { return name == "rte" || name == "trk"; }

    void start(const std::string& name, std::string&)
    {
        if (name == "gpx") {
            inGpx = true;
        } else if (inGpx && isRoute(name)) {
            inRoute = true;
        } else if (inRoute && isPoint(name)) {
            inPoint = true;
            point = {};
        }
    }
    void attribute(const std::string& element, const char* name, std::u16string_view value)
    {
        if (!inPoint || !isPoint(element))
            return;
        const auto v = num::leadingDouble(toUtf8(value));
        if (!v || !std::isfinite(*v))
            return;
        if (std::strcmp(name, "lat") == 0)
            point.lat = *v;
        else if (std::strcmp(name, "lon") == 0)
            point.lon = *v;
    }
    bool end(const std::string& name, std::string&)
    {
        if (inPoint && isPoint(name)) {
            route.push_back(point);
            inPoint = false;
        } else if (inRoute && isRoute(name)) {
            done = true;
            return false;
        }
        return true;
    }
};

} // namespace

std::optional<std::vector<geo::LatLon>> loadRouteFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    CUtf8FileSource source(path);
    CXmlTokenizer xml(source);
    RouteReader reader;
    // Only attributes count: no text is kept.
    walkElements<XmlWalkOptions{.maxText = 0}>(xml, reader);
    if (!reader.done || reader.route.empty())
        return std::nullopt;
    return std::move(reader.route);
}

} // namespace tw

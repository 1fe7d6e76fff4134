// SPDX-License-Identifier: GPL-3.0-or-later
#include "exchange/RouteLoader.h"

#include "platform/Numbers.h"
#include "xml/CUtf8FileSource.h"
#include "xml/CXmlTokenizer.h"

#include <cmath>
#include <cstring>
#include <string>

namespace tw {

std::optional<std::vector<geo::LatLon>> loadRouteFile(const std::filesystem::path& path)
{
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec))
        return std::nullopt;
    CUtf8FileSource source(path);
    CXmlTokenizer xml(source);
    std::vector<geo::LatLon> route;
    bool inGpx = false;
    bool inRoute = false;
    bool inPoint = false;
    geo::LatLon point;
    std::string element;
    for (int t = xml.NextToken(); t != XT_END; t = xml.NextToken()) {
        if (t == XT_START_TAG) {
            element = xml.GetTagName();
            if (element == "gpx")
                inGpx = true;
            else if (inGpx && (element == "rte" || element == "trk"))
                inRoute = true;
            else if (inRoute && (element == "rtept" || element == "trkpt")) {
                inPoint = true;
                point = {};
            }
        } else if (t == XT_ATTRIBUTE && inPoint && (element == "rtept" || element == "trkpt")) {
            const auto v = num::leadingDouble(xml.GetValueUtf8());
            if (!v || !std::isfinite(*v))
                continue;
            if (std::strcmp(xml.GetAttrName(), "lat") == 0)
                point.lat = *v;
            else if (std::strcmp(xml.GetAttrName(), "lon") == 0)
                point.lon = *v;
        } else if (t == XT_END_TAG) {
            const std::string name = xml.GetTagName();
            if (inPoint && (name == "rtept" || name == "trkpt")) {
                route.push_back(point);
                inPoint = false;
            } else if (inRoute && (name == "rte" || name == "trk")) {
                // Only the first route or track of a file.
                if (route.empty())
                    return std::nullopt;
                return route;
            }
        }
    }
    return std::nullopt;
}

} // namespace tw

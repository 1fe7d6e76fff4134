// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exchange/RouteLoader.h"

#include <cstddef>
#include <filesystem>

namespace tw::route {

// Collects the points of a route file into lines, up to a number of points.
class LineCollector {
public:
    explicit LineCollector(std::size_t maxPoints = kMaxRoutePoints) : m_maxPoints(maxPoints) {}

    // The next point begins a line of its own. A line without a point is
    // never made.
    void beginLine() { m_newLine = true; }
    // Adds a point (degrees) to the current line; one outside the globe or
    // not a number is left out. False once the collector is full.
    bool add(double latDeg, double lonDeg);
    bool full() const { return m_count >= m_maxPoints; }
    bool empty() const { return m_count == 0; }
    RouteLines take();

private:
    RouteLines m_lines;
    std::size_t m_count = 0;
    std::size_t m_maxPoints;
    bool m_newLine = true;
};

// Each reader returns false when the file cannot be read as its format:
// it cannot be opened, or (XML) its root is neither gpx nor kml, or it ends
// before its root element does. Reaching the collector's bound is no failure.
bool readXmlRoutes(const std::filesystem::path& path, LineCollector& lines);
// OziExplorer track: six header lines, then "lat,lon,code,alt,days,date,time";
// code 1 starts a new segment.
bool readOziTrack(const std::filesystem::path& path, LineCollector& lines);
// OziExplorer route: "R," starts a route, its "W," lines hold its points.
bool readOziRoute(const std::filesystem::path& path, LineCollector& lines);

} // namespace tw::route

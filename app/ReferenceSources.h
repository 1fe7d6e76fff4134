// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "geo/LatLon.h"
#include "geo/ReferencePosition.h"

namespace tw {

class CacheFilter;
struct Settings;

// Where reference distances are measured from: the live position, the map
// centre and the filter's choice among them, home and a manual point. Part of
// CGlobalData.
class ReferenceSources {
public:
    // The filter chooses the point, the settings hold home and the units.
    ReferenceSources(const CacheFilter& filter, const Settings& settings) : m_filter(filter), m_settings(settings) {}
    ReferenceSources(const ReferenceSources&) = delete;
    ReferenceSources& operator=(const ReferenceSources&) = delete;

    // The live position and the map centre for reference distances; null
    // while there is no receiver or map screen.
    const geo::LivePositionSource* livePosition = nullptr;
    const geo::MapCentreSource* mapCentre = nullptr;
    // Where the last coordinate text that was copied or read lies.
    geo::LatLon parsedPoint;

    // The filter's reference point with home, the units and both sources.
    geo::ReferenceContext context() const;

private:
    const CacheFilter& m_filter;
    const Settings& m_settings;
};

} // namespace tw

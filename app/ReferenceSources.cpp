// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReferenceSources.h"

#include "app/Settings.h"
#include "filter/CacheFilter.h"

namespace tw {

geo::ReferenceContext ReferenceSources::context() const
{
    const CacheFilter& filter = m_filter;
    const Settings& settings = m_settings;
    geo::ReferenceContext context;
    context.refPoint = filter.refPoint;
    context.manualPoint = {filter.manLat, filter.manLon};
    context.home = {settings.homeLat, settings.homeLon};
    context.metricUnits = settings.metricUnits != 0;
    context.gps = livePosition;
    context.map = mapCentre;
    return context;
}

} // namespace tw

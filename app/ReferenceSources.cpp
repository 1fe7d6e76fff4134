// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReferenceSources.h"

#include "app/CGlobalData.h"

namespace tw {

geo::ReferenceContext ReferenceSources::context() const
{
    const CacheFilter& filter = m_global.list.filter;
    const Settings& settings = m_global.settings;
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

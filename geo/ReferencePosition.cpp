// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/ReferencePosition.h"

#include "geo/GeoMath.h"
#include "geo/UnitFormat.h"

namespace tw::geo {
namespace {

// The GPS value where it is not exactly 0, home otherwise, per value.
LatLon liveOrHome(const LiveFix& fix, LatLon home)
{
    return {fix.position.lat != 0.0 ? fix.position.lat : home.lat,
            fix.position.lon != 0.0 ? fix.position.lon : home.lon};
}

LiveFix readFix(const ReferenceContext& context)
{
    return context.gps ? context.gps->liveFix() : LiveFix{};
}

} // namespace

LatLon referencePosition(const ReferenceContext& context, bool useLivePosition)
{
    if (useLivePosition)
        return liveOrHome(readFix(context), context.home);
    const bool mapMode = context.refPoint == kRefMapCentre || (context.map && context.map->isReloadingVisibleArea());
    if (mapMode)
        return context.map ? context.map->mapCentre() : context.home;
    if (context.refPoint == kRefManual)
        return context.manualPoint;
    if (context.refPoint != kRefGps)
        return context.home;
    const LiveFix fix = readFix(context);
    return fix.hasFix ? liveOrHome(fix, context.home) : context.home;
}

double referenceDistanceKm(const ReferenceContext& context, LatLon point, bool useLivePosition)
{
    return distanceKm(referencePosition(context, useLivePosition), point);
}

double referenceBearingDeg(const ReferenceContext& context, LatLon point)
{
    return bearingDeg(referencePosition(context, true), point);
}

int sectorOfBearing(double bearingDeg)
{
    // 360 itself can come out of rounding 2π − ε into degrees; it is north.
    if ((bearingDeg >= 337.5 && bearingDeg <= 360.0) || (bearingDeg >= 0.0 && bearingDeg < 22.5))
        return 0;
    for (int sector = 1; sector <= 7; ++sector) {
        const double lower = 22.5 + 45.0 * (sector - 1);
        if (bearingDeg >= lower && bearingDeg < lower + 45.0)
            return sector;
    }
    return 8;
}

int referenceSector(const ReferenceContext& context, LatLon point)
{
    return sectorOfBearing(bearingDeg(referencePosition(context, false), point));
}

std::string formatCacheDistance(const ReferenceContext& context, LatLon record, bool allowSmallUnits,
                                bool useLivePosition)
{
    if (record.isEmpty())
        return "???";
    return formatDistance(referenceDistanceKm(context, record, useLivePosition), context.metricUnits,
                          allowSmallUnits);
}

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "geo/UnitFormat.h"

#include "geo/FixedFormat.h"
#include "geo/GeoMath.h"

#include <cmath>

namespace tw::geo {
namespace {

// One scale of the table: large units ("km"/"mi"), and small units below 1 of
// them, scaled by `smallPerLarge` and switching to one decimal below `smallLimit`.
std::string distanceText(double large, const char* largeUnit, const char* smallUnit,
                         double smallPerLarge, double smallLimit, bool allowSmallUnits)
{
    if (large >= 100)
        return fixedText(large, 0, 5) + ' ' + largeUnit;
    if (large >= 10)
        return fixedText(large, 1, 2) + ' ' + largeUnit;
    if (large >= 1 || !allowSmallUnits)
        return fixedText(large, 2, 1) + ' ' + largeUnit;
    const double small = large * smallPerLarge;
    if (small >= smallLimit)
        return fixedText(small, 0, 4) + ' ' + smallUnit;
    return fixedText(small, 1, 3) + ' ' + smallUnit;
}

} // namespace

std::string formatDistance(double distanceKm, bool metricUnits, bool allowSmallUnits)
{
    if (metricUnits)
        return distanceText(distanceKm, "km", "m", 1000.0, 100.0, allowSmallUnits);
    return distanceText(distanceKm * kKmToMi, "mi", "ft", kFtPerMi, 1000.0, allowSmallUnits);
}

std::string formatLength(double distanceKm, bool metricUnits)
{
    return formatDistance(distanceKm, metricUnits, true);
}

std::string formatHeight(double altitudeM, bool withUnit, bool metricUnits)
{
    const double value = metricUnits ? altitudeM : altitudeM * kMToFt;
    std::string text = wholeNumberText(value + 0.5);
    if (withUnit)
        text += metricUnits ? " m" : " ft";
    return text;
}

} // namespace tw::geo

// SPDX-License-Identifier: GPL-3.0-or-later
#include "filter/FilterChoices.h"

#include "db/Tags.h"
#include "platform/Numbers.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace tw {
namespace {

constexpr double kKmPerMile = 1.609344;
constexpr double kTenthMilesPerKm = 6.2137119223733395;

template <typename Array>
bool allOrNone(const Array& flags)
{
    const bool all = std::all_of(flags.begin(), flags.end(), [](int f) { return f != 0; });
    const bool none = std::none_of(flags.begin(), flags.end(), [](int f) { return f != 0; });
    return all || none;
}

bool isEither(int choice)
{
    return choice != 0 && choice != 1;
}

} // namespace

FilterScope scopeOf(const CacheFilter& f)
{
    if (f.useTag == 1 && f.tagCategory == TagCategoryName::LastImport && f.code.empty())
        return FilterScope::LastImport;
    const std::array<int, 3> status{f.active, f.disabled, f.archived};
    const bool all = f.code.empty() && f.name.empty() && f.owner.empty() && f.distanceKm == 0.0 &&
                     isEither(f.owned) && isEither(f.found) && allOrNone(status) && f.mustHaveFinal == 0 &&
                     allOrNone(f.cacheTypes) && f.useTag == 0;
    return all ? FilterScope::AllCaches : FilterScope::Filtered;
}

void showAllCaches(CacheFilter& f)
{
    CacheFilter all;
    all.owned = 2;
    all.found = 2;
    all.active = all.disabled = all.archived = 1;
    all.refPoint = f.refPoint;
    all.manLat = f.manLat;
    all.manLon = f.manLon;
    all.wptTypes = f.wptTypes;
    all.fileName = f.fileName;
    f = all;
}

CacheFilter lastImportFilter()
{
    CacheFilter f;
    f.useTag = 1;
    f.tagCategory = TagCategoryName::LastImport;
    return f;
}

double distanceInUserUnits(double distanceKm, bool metricUnits)
{
    return metricUnits ? distanceKm : distanceKm / kKmPerMile;
}

double distanceKmFromUserUnits(double value, bool metricUnits)
{
    return metricUnits ? value : value * kKmPerMile;
}

double searchDistanceInUserUnits(double distanceKm, bool metricUnits)
{
    if (metricUnits)
        return distanceKm;
    return std::trunc(distanceKm * kTenthMilesPerKm + 0.5) * 0.1;
}

std::optional<double> readEnteredNumber(std::string_view text)
{
    std::string s(text);
    std::replace(s.begin(), s.end(), ',', '.');
    const auto value = num::parseDouble(s);
    if (!value || !std::isfinite(*value) || *value < 0.0)
        return std::nullopt;
    return value;
}

int eitherIndex(int value)
{
    return isEither(value) ? 2 : value;
}

} // namespace tw

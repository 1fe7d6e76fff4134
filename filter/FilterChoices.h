// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "filter/CacheFilter.h"

#include <optional>
#include <string_view>

// How the filter screens show and read the filter, and the filters the
// program switches to by itself.
namespace tw {

// What the list shows under a filter.
enum class FilterScope {
    AllCaches,  // no condition hides a cache
    LastImport, // the caches of the latest import
    Filtered,   // some other condition
};
FilterScope scopeOf(const CacheFilter& filter);

// Drops every condition that hides a cache: owned and found either way, every
// status and type, no distance limit, no texts, no tag. The reference point,
// the waypoint types and the file name stay as they are.
void showAllCaches(CacheFilter& filter);

// The filter a finished import switches to: the defaults with the tag
// condition on the last-import marker.
CacheFilter lastImportFilter();

// The distance limit in the user's units (miles when metricUnits is false)
// and back to kilometres.
double distanceInUserUnits(double distanceKm, bool metricUnits);
double distanceKmFromUserUnits(double value, bool metricUnits);
// The search page shows miles to a tenth, rounded half up.
double searchDistanceInUserUnits(double distanceKm, bool metricUnits);

// A number the user typed: blanks around it, a decimal point or comma. Nothing
// when it does not read or is negative.
std::optional<double> readEnteredNumber(std::string_view text);

// The three-way choices "owned" and "found" as a list index: 0 no, 1 yes,
// 2 either (any other stored value).
int eitherIndex(int value);

} // namespace tw

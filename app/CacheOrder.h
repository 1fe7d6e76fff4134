// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "geo/LatLon.h"

#include <memory>
#include <vector>

namespace tw {

// The list's sort keys, as the list screen numbers them. Relevance is how
// well a cache matched the filter's text query (best first when ascending);
// the list asks the database for the best matches then (see CacheList).
namespace SortKey {
constexpr int Name = 0, Distance = 1, Author = 2, Difficulty = 3, Terrain = 4, Hidden = 5, Size = 6, Found = 7;
constexpr int Relevance = 8;
constexpr int Count = 9;
} // namespace SortKey

struct CacheOrder {
    int sortKey = SortKey::Distance;
    bool ascending = true;
    geo::LatLon reference; // distances are measured from here
};

// True when a comes before b. Names and owners compare upper-cased, by
// UTF-16 code unit; sizes by their sort rank; found dates with the found time
// breaking ties. Descending is the reverse order (equal caches keep their
// order either way).
bool CompareCaches(const CGeocache& a, const CGeocache& b, const CacheOrder& order);

// Stable sort of a list by CompareCaches.
void sortCaches(std::vector<std::unique_ptr<CGeocache>>& caches, const CacheOrder& order);

} // namespace tw

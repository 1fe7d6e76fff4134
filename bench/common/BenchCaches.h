// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "geo/GeoMath.h"

#include <random>
#include <string>

// Realistic generated caches for the benchmarks: the pocket-query writer and
// the cache-database generator draw them from the same random sequence.
namespace tw::bench {

// n words of Czech, German and English listing vocabulary, space-separated.
std::string words(std::mt19937& rng, int n);

// Cache number n: 5 to 20 logs, attributes, an HTML description with
// accented text, and two additional waypoints for every Multi-cache and
// Unknown Cache, spread over southern Bohemia and Bavaria.
CGeocache makeCache(std::mt19937& rng, int n);

// The heavier listing of a full pocket query of busy caches: longer logs
// and a 4 KB HTML description.
void makeHeavy(std::mt19937& rng, CGeocache& c);

// Moves the cache and its waypoints to a random spot within radiusKm of centre.
void placeAround(std::mt19937& rng, CGeocache& c, geo::LatLon centre, double radiusKm);

} // namespace tw::bench

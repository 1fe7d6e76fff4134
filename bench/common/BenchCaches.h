// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeocache.h"
#include "geo/GeoMath.h"

#include <random>
#include <string>

// Realistic generated caches for the benchmarks: the pocket-query writer and
// the cache-database generator draw them from the same random sequence.
namespace tw::bench {

// Raised whenever what the generators write changes, so that the databases
// and files kept by scripts/bench.sh are made again.
inline constexpr int kDataVersion = 2;

// The texts are drawn from a vocabulary of kVocabularySize words (a few
// hundred Czech, German and English listing words among made-up ones) with
// the frequencies of natural language: the word of rank r about 1/(r + 1)
// as often as the first. Two of them for the benchmarks of the search: one
// that about a tenth of the caches hold, one that most of them hold.
inline constexpr int kVocabularySize = 4000;
inline constexpr const char* kCommonWord = "potok";
inline constexpr const char* kVeryCommonWord = "cache";

// The word of the given rank (0 the most frequent).
const std::string& vocabularyWord(int rank);

// n words of Czech, German and English listing vocabulary, space-separated.
std::string words(std::mt19937& rng, int n);

// Cache number n: 5 to 20 logs of one to three sentences, attributes, an
// HTML description of 1 to 4 KB with accented text, and two additional waypoints for every Multi-cache and
// Unknown Cache, spread over southern Bohemia and Bavaria.
CGeocache makeCache(std::mt19937& rng, int n);

// The heavier listing of a full pocket query of busy caches: longer logs
// and a 4 KB HTML description.
void makeHeavy(std::mt19937& rng, CGeocache& c);

// Moves the cache and its waypoints to a random spot within radiusKm of centre.
void placeAround(std::mt19937& rng, CGeocache& c, geo::LatLon centre, double radiusKm);

} // namespace tw::bench

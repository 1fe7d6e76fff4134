// SPDX-License-Identifier: GPL-3.0-or-later
// The order of the cache list under its sort keys.
#include "app/CacheOrder.h"

#include "geo/GeoMath.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <numeric>
#include <string>

namespace tw {
namespace {

// Upper case per character, as the list has always compared names: no
// locale rules, no change of length.
std::u16string upperKey(const std::string& utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const uint8_t*>(utf8.data());
    const auto length = static_cast<int32_t>(utf8.size());
    int32_t i = 0;
    while (i < length) {
        UChar32 c;
        U8_NEXT(s, i, length, c);
        if (c < 0)
            c = 0xFFFD;
        c = u_toupper(c);
        if (c <= 0xFFFF) {
            out.push_back(static_cast<char16_t>(c));
        } else {
            out.push_back(static_cast<char16_t>(U16_LEAD(c)));
            out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        }
    }
    return out;
}

// What one cache is compared by under one sort key, worked out once.
struct Key {
    std::u16string text;
    double first = 0.0;
    double second = 0.0;
};

Key keyOf(const CGeocache& c, const CacheOrder& order)
{
    Key k;
    switch (order.sortKey) {
    case SortKey::Name: k.text = upperKey(c.name); break;
    case SortKey::Distance: k.first = geo::distanceKm(order.reference, {c.lat, c.lon}); break;
    case SortKey::Author: k.text = upperKey(c.author); break;
    case SortKey::Difficulty: k.first = c.difficulty; break;
    case SortKey::Terrain: k.first = c.terrain; break;
    case SortKey::Hidden: k.first = c.hidden; break;
    case SortKey::Size: k.first = cacheSizeSortRank(c.size); break;
    case SortKey::Found:
        k.first = c.found;
        k.second = c.foundTime;
        break;
    case SortKey::Relevance: k.first = c.textRank; break;
    default: break;
    }
    return k;
}

bool lessKey(const Key& a, const Key& b, int sortKey)
{
    if (sortKey == SortKey::Name || sortKey == SortKey::Author)
        return a.text < b.text;
    if (a.first != b.first)
        return a.first < b.first;
    return a.second < b.second;
}

} // namespace

bool CompareCaches(const CGeocache& a, const CGeocache& b, const CacheOrder& order)
{
    const Key ka = keyOf(a, order);
    const Key kb = keyOf(b, order);
    // Reversing the operands, not negating the result: a negated "less" is
    // no ordering at all, and a sort given one may run off the list.
    return order.ascending ? lessKey(ka, kb, order.sortKey) : lessKey(kb, ka, order.sortKey);
}

void sortCaches(std::vector<std::unique_ptr<CGeocache>>& caches, const CacheOrder& order)
{
    std::vector<Key> keys;
    keys.reserve(caches.size());
    for (const auto& c : caches)
        keys.push_back(keyOf(*c, order));
    std::vector<std::size_t> index(caches.size());
    std::iota(index.begin(), index.end(), std::size_t{0});
    std::stable_sort(index.begin(), index.end(), [&](std::size_t a, std::size_t b) {
        return order.ascending ? lessKey(keys[a], keys[b], order.sortKey) : lessKey(keys[b], keys[a], order.sortKey);
    });
    std::vector<std::unique_ptr<CGeocache>> sorted;
    sorted.reserve(caches.size());
    for (const std::size_t i : index)
        sorted.push_back(std::move(caches[i]));
    caches = std::move(sorted);
}

} // namespace tw

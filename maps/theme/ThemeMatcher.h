// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "maps/VectorTag.h"
#include "maps/theme/RenderTheme.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace tw::maps {

/** Answers, for one element of a vector map, which instructions of a theme
 *  draw it. A tile renderer keeps one matcher per rendering thread (it is not
 *  safe to share: it caches) and asks it for every point of interest and way
 *  of the tile:
 *
 *      ThemeMatcher matcher(theme, theme.styleMenu.categories(style, overlaySwitches));
 *      for (const Way& way : tile.ways)
 *          for (const RenderInstruction* in : matcher.match(VectorElement::Way, way.tags, zoom, way.closed))
 *              draw(*in, way);   // in theme order; labels and symbols then go by priority
 *
 *  Results are cached per element kind, closedness, zoom level and the tags
 *  that matter to the theme (tags no rule names, such as names, do not split
 *  the cache), so that the thousands of ways of a tile cost a hash look-up
 *  each once the first few are known. */
class ThemeMatcher {
public:
    // Cached answers kept at most; the cache starts over when it is full.
    static constexpr std::size_t kMaxCacheEntries = 8192;
    // An element with more distinct tags that matter is answered but not
    // cached: real ones have a handful, and the cache is to stay small.
    static constexpr std::size_t kMaxCachedTags = 32;

    // With the categories of the theme's default style (every category when
    // the theme has no style menu).
    // The theme must outlive the matcher.
    explicit ThemeMatcher(const RenderTheme& theme);
    // With those categories drawn and the others left out.
    ThemeMatcher(const RenderTheme& theme, const std::unordered_set<std::string>& categories);

    // Another choice of style or overlays; forgets the cache.
    void setCategories(const std::unordered_set<std::string>& categories);
    // Every category drawn; forgets the cache.
    void enableAllCategories();

    // The instructions for an element with tags at a zoom level (0..255);
    // closed says whether a way's first and last node are the same and is
    // not looked at for nodes. The span stays valid until the next call.
    std::span<const RenderInstruction* const> match(VectorElement element, std::span<const VectorTag> tags,
                                                    int zoom, bool closed);

    std::size_t cacheSize() const { return m_cache.size(); }
    std::size_t cacheHits() const { return m_hits; }

private:
    struct KeyHash {
        std::size_t operator()(const std::vector<std::int32_t>& key) const;
    };

    bool matches(const ThemeRule& rule, VectorElement element, int zoom, bool closed) const;
    bool tagsMatch(const ThemeRule& rule) const;
    void collect(const ThemeRule& rule, VectorElement element, int zoom, bool closed,
                 std::vector<const RenderInstruction*>& out) const;

    const RenderTheme& m_theme;
    std::vector<char> m_ruleCatOn;        // per category index of the theme
    std::vector<char> m_instructionOn;    // per instruction
    // The element's tags as (key id, value id), sorted, without repeats.
    std::vector<std::pair<std::int32_t, std::int32_t>> m_tags;
    std::vector<std::int32_t> m_key;
    std::unordered_map<std::vector<std::int32_t>, std::vector<const RenderInstruction*>, KeyHash> m_cache;
    std::vector<const RenderInstruction*> m_uncached;
    std::size_t m_hits = 0;
};

} // namespace tw::maps

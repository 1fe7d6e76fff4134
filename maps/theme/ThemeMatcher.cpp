// SPDX-License-Identifier: GPL-3.0-or-later
// Matching the elements of a vector map against the rules of a theme.
#include "maps/theme/ThemeMatcher.h"

#include <algorithm>

namespace tw::maps {

ThemeMatcher::ThemeMatcher(const RenderTheme& theme) : m_theme(theme)
{
    if (theme.styleMenu.layers.empty())
        enableAllCategories();
    else
        setCategories(theme.styleMenu.categories({}));
}

ThemeMatcher::ThemeMatcher(const RenderTheme& theme, const std::unordered_set<std::string>& categories)
    : m_theme(theme)
{
    setCategories(categories);
}

void ThemeMatcher::setCategories(const std::unordered_set<std::string>& categories)
{
    m_ruleCatOn.assign(m_theme.categories.size(), 0);
    for (std::size_t i = 0; i < m_theme.categories.size(); ++i)
        m_ruleCatOn[i] = categories.contains(m_theme.categories[i]);
    m_instructionOn.assign(m_theme.instructions.size(), 1);
    for (std::size_t i = 0; i < m_theme.instructions.size(); ++i) {
        const std::string& cat = m_theme.instructions[i].cat;
        m_instructionOn[i] = cat.empty() || categories.contains(cat);
    }
    m_cache.clear();
}

void ThemeMatcher::enableAllCategories()
{
    m_ruleCatOn.assign(m_theme.categories.size(), 1);
    m_instructionOn.assign(m_theme.instructions.size(), 1);
    m_cache.clear();
}

std::size_t ThemeMatcher::KeyHash::operator()(const std::vector<std::int32_t>& key) const
{
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (const std::int32_t v : key) {
        h ^= static_cast<std::uint32_t>(v);
        h *= 0x100000001b3ull;
    }
    return static_cast<std::size_t>(h ^ (h >> 29));
}

bool ThemeMatcher::tagsMatch(const ThemeRule& rule) const
{
    const auto keyMatches = [&](std::int32_t key) {
        return rule.anyKey || std::find(rule.keys.begin(), rule.keys.end(), key) != rule.keys.end();
    };
    const auto valueListed = [&](std::int32_t value) {
        return std::find(rule.values.begin(), rule.values.end(), value) != rule.values.end();
    };
    bool keyPresent = false;
    for (const auto& [key, value] : m_tags) {
        if (!keyMatches(key))
            continue;
        keyPresent = true;
        if (rule.negated) {
            if (valueListed(value))
                return false;
        } else if (rule.anyValue || valueListed(value)) {
            return true;
        }
    }
    if (rule.negated)
        return true;
    return rule.absentKey && !keyPresent;
}

bool ThemeMatcher::matches(const ThemeRule& rule, VectorElement element, int zoom, bool closed) const
{
    if (rule.element != ThemeElement::Any
        && (rule.element == ThemeElement::Node) != (element == VectorElement::Node))
        return false;
    if (element == VectorElement::Way && rule.closed != ThemeClosed::Any
        && (rule.closed == ThemeClosed::Yes) != closed)
        return false;
    if (zoom < rule.zoomMin || zoom > rule.zoomMax)
        return false;
    if (rule.cat >= 0 && !m_ruleCatOn[static_cast<std::size_t>(rule.cat)])
        return false;
    return tagsMatch(rule);
}

void ThemeMatcher::collect(const ThemeRule& rule, VectorElement element, int zoom, bool closed,
                           std::vector<const RenderInstruction*>& out) const
{
    for (const std::int32_t item : rule.items) {
        if (item >= 0) {
            if (m_instructionOn[static_cast<std::size_t>(item)])
                out.push_back(&m_theme.instructions[static_cast<std::size_t>(item)]);
            continue;
        }
        const ThemeRule& sub = m_theme.rules[static_cast<std::size_t>(-(item + 1))];
        if (matches(sub, element, zoom, closed))
            collect(sub, element, zoom, closed, out);
    }
}

std::span<const RenderInstruction* const> ThemeMatcher::match(VectorElement element, std::span<const VectorTag> tags,
                                                              int zoom, bool closed)
{
    zoom = std::clamp(zoom, 0, 255);
    if (element == VectorElement::Node)
        closed = false;
    m_tags.clear();
    for (const VectorTag& tag : tags) {
        const std::int32_t key = m_theme.keyId(tag.key);
        const std::int32_t value = m_theme.valueId(tag.value);
        // A tag the theme names neither way matters only as "some tag": one
        // such entry stands for all of them.
        m_tags.emplace_back(key, value);
    }
    std::sort(m_tags.begin(), m_tags.end());
    m_tags.erase(std::unique(m_tags.begin(), m_tags.end()), m_tags.end());

    m_key.clear();
    m_key.push_back(static_cast<std::int32_t>(element == VectorElement::Way) | static_cast<std::int32_t>(closed) << 1
                    | zoom << 2);
    for (const auto& [key, value] : m_tags) {
        m_key.push_back(key);
        m_key.push_back(value);
    }
    if (const auto it = m_cache.find(m_key); it != m_cache.end()) {
        ++m_hits;
        return it->second;
    }

    const bool cached = m_tags.size() <= kMaxCachedTags;
    std::vector<const RenderInstruction*> found;
    if (!cached)
        std::swap(found, m_uncached);
    found.clear();
    for (const std::int32_t index : m_theme.topRules) {
        const ThemeRule& rule = m_theme.rules[static_cast<std::size_t>(index)];
        if (matches(rule, element, zoom, closed))
            collect(rule, element, zoom, closed, found);
    }
    if (!cached) {
        m_uncached = std::move(found);
        return m_uncached;
    }
    if (m_cache.size() >= kMaxCacheEntries)
        m_cache.clear();
    return m_cache.emplace(m_key, std::move(found)).first->second;
}

} // namespace tw::maps

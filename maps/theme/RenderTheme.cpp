// SPDX-License-Identifier: GPL-3.0-or-later
// Render themes: values, paths, widths and the style menu.
#include "maps/theme/RenderTheme.h"

#include <algorithm>
#include <cmath>

namespace fs = std::filesystem;

namespace tw::maps {

std::optional<std::uint32_t> parseThemeColour(std::string_view text)
{
    if (text.size() != 7 && text.size() != 9)
        return std::nullopt;
    if (text[0] != '#')
        return std::nullopt;
    std::uint32_t value = 0;
    for (const char c : text.substr(1)) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return text.size() == 7 ? value | 0xFF000000u : value;
}

fs::path resolveThemeSource(std::string_view src, const fs::path& themeFolder)
{
    if (src.empty())
        return {};
    std::error_code ec;
    for (const std::string_view bundle : {"jar:", "assets:"}) {
        if (!src.starts_with(bundle))
            continue;
        std::string_view rest = src.substr(bundle.size());
        while (!rest.empty() && rest.front() == '/')
            rest.remove_prefix(1);
        const fs::path beside = themeFolder / fs::path(rest);
        if (fs::exists(beside, ec) || themeFolder.parent_path() == themeFolder)
            return beside;
        const fs::path above = themeFolder.parent_path() / fs::path(rest);
        return fs::exists(above, ec) ? above : beside;
    }
    if (src.starts_with("file:"))
        src.remove_prefix(5);
    const fs::path path(src);
    return path.is_absolute() ? path : themeFolder / path;
}

fs::path builtInThemeFile(const fs::path& installDir) { return installDir / "themes" / "tarnwick.xml"; }

float RenderTheme::zoomGrowth(int zoom)
{
    const int levels = std::clamp(zoom, kBaseZoom, kMaxGrowthZoom) - kBaseZoom;
    return std::pow(kGrowthPerZoom, static_cast<float>(levels));
}

float RenderTheme::strokeWidth(const RenderInstruction& instruction, int zoom, float displayScale) const
{
    float width = instruction.strokeWidth * baseStrokeWidth * displayScale;
    if (instruction.scale != ThemeScale::None)
        width *= zoomGrowth(zoom);
    return width;
}

float RenderTheme::textSize(const RenderInstruction& instruction, int zoom, float displayScale) const
{
    float size = instruction.fontSize * baseTextSize * displayScale;
    if (instruction.kind == InstructionKind::PathText && instruction.scale == ThemeScale::All)
        size *= zoomGrowth(zoom);
    return size;
}

float RenderTheme::lengthScale(const RenderInstruction& instruction, int zoom, float displayScale) const
{
    return instruction.scale == ThemeScale::All ? displayScale * zoomGrowth(zoom) : displayScale;
}

float RenderTheme::circleRadius(const RenderInstruction& instruction, int zoom, float displayScale) const
{
    return instruction.radius * displayScale * (instruction.scaleRadius ? zoomGrowth(zoom) : 1.0f);
}

namespace {

template <class Table>
std::int32_t lookUp(const Table& table, std::string_view text)
{
    const auto it = table.find(text);
    return it == table.end() ? -1 : it->second;
}

template <class Table>
std::int32_t intern(Table& table, const std::string& text)
{
    return table.try_emplace(text, static_cast<std::int32_t>(table.size())).first->second;
}

} // namespace

std::int32_t RenderTheme::keyId(std::string_view key) const { return lookUp(m_keys, key); }
std::int32_t RenderTheme::valueId(std::string_view value) const { return lookUp(m_values, value); }
std::int32_t RenderTheme::internKey(const std::string& key) { return intern(m_keys, key); }
std::int32_t RenderTheme::internValue(const std::string& value) { return intern(m_values, value); }

std::int32_t RenderTheme::category(const std::string& name)
{
    const auto [it, added] = m_categoryIds.try_emplace(name, static_cast<std::int32_t>(categories.size()));
    if (added)
        categories.push_back(name);
    return it->second;
}

const StyleLayer* StyleMenu::layer(std::string_view wanted) const
{
    for (const StyleLayer& l : layers)
        if (l.id == wanted)
            return &l;
    return nullptr;
}

std::string StyleMenu::name(const StyleLayer& l, std::string_view language) const
{
    for (const std::string_view lang : {language, std::string_view(defaultLang)})
        for (const auto& [nameLang, text] : l.names)
            if (nameLang == lang && !text.empty())
                return text;
    return l.id;
}

std::vector<StyleMenuEntry> StyleMenu::styles(std::string_view language) const
{
    std::vector<StyleMenuEntry> out;
    for (const StyleLayer& l : layers)
        if (l.visible)
            out.push_back({l.id, name(l, language), false});
    return out;
}

namespace {

// The layer and its parents, nearest first; a parent named twice (a loop)
// ends the chain.
std::vector<const StyleLayer*> lineage(const StyleMenu& menu, const StyleLayer* l)
{
    std::vector<const StyleLayer*> chain;
    while (l && std::find(chain.begin(), chain.end(), l) == chain.end()) {
        chain.push_back(l);
        l = l->parent.empty() ? nullptr : menu.layer(l->parent);
    }
    return chain;
}

const StyleLayer* chosenStyle(const StyleMenu& menu, std::string_view style)
{
    const StyleLayer* l = style.empty() ? nullptr : menu.layer(style);
    return l ? l : menu.layer(menu.defaultValue);
}

bool overlayOn(const StyleLayer& overlay, const std::map<std::string, bool>& switches)
{
    const auto it = switches.find(overlay.id);
    return it == switches.end() ? overlay.enabled : it->second;
}

} // namespace

std::vector<StyleMenuEntry> StyleMenu::overlays(std::string_view style, std::string_view language,
                                                const std::map<std::string, bool>& switches) const
{
    std::vector<StyleMenuEntry> out;
    // Parents first, so that the base's overlays lead as the theme lists them.
    auto chain = lineage(*this, chosenStyle(*this, style));
    std::reverse(chain.begin(), chain.end());
    for (const StyleLayer* l : chain)
        for (const std::string& overlayId : l->overlays) {
            const StyleLayer* overlay = layer(overlayId);
            if (!overlay || std::any_of(out.begin(), out.end(), [&](const auto& e) { return e.id == overlayId; }))
                continue;
            out.push_back({overlayId, name(*overlay, language), overlayOn(*overlay, switches)});
        }
    return out;
}

std::unordered_set<std::string> StyleMenu::categories(std::string_view style,
                                                      const std::map<std::string, bool>& switches) const
{
    std::unordered_set<std::string> cats;
    const auto addCats = [&](const StyleLayer* l) {
        for (const StyleLayer* p : lineage(*this, l))
            cats.insert(p->cats.begin(), p->cats.end());
    };
    const auto chain = lineage(*this, chosenStyle(*this, style));
    for (const StyleLayer* l : chain)
        cats.insert(l->cats.begin(), l->cats.end());
    for (const StyleLayer* l : chain)
        for (const std::string& overlayId : l->overlays)
            if (const StyleLayer* overlay = layer(overlayId); overlay && overlayOn(*overlay, switches))
                addCats(overlay);
    return cats;
}

} // namespace tw::maps

// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes read as a render theme, then a few
// elements matched against whatever it holds, with each of its styles.
#include "maps/theme/RenderTheme.h"
#include "maps/theme/ThemeMatcher.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tw::maps;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const RenderThemeResult result = readRenderTheme(bytes, "/nonexistent");
    if (!result.theme)
        return 0;
    const RenderTheme& theme = *result.theme;
    const std::vector<VectorTag> tags[] = {
        {},
        {{"highway", "path"}, {"sac_scale", "hiking"}, {"name", "x"}},
        {{"natural", "peak"}, {"ele", "1602"}},
        {{"a", ""}, {"", "b"}},
    };
    const auto matchAll = [&](ThemeMatcher& matcher) {
        for (const auto& t : tags)
            for (const int zoom : {0, 14, 200})
                for (const auto element : {VectorElement::Node, VectorElement::Way})
                    for (const RenderInstruction* in : matcher.match(element, t, zoom, zoom == 14))
                        (void)theme.strokeWidth(*in, zoom, 2.0f);
    };
    ThemeMatcher matcher(theme);
    matchAll(matcher);
    for (const StyleMenuEntry& style : theme.styleMenu.styles("en")) {
        std::map<std::string, bool> switches;
        for (const StyleMenuEntry& overlay : theme.styleMenu.overlays(style.id, "cs"))
            switches[overlay.id] = !overlay.enabled;
        matcher.setCategories(theme.styleMenu.categories(style.id, switches));
        matchAll(matcher);
    }
    return 0;
}

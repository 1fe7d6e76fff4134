// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapConfig.h"

namespace tw::maps {

const MapType* getMapType(const MapSource& source, int index)
{
    if (index < 0)
        return nullptr;
    const auto& list = index < kFirstOverlayIndex ? source.basic : source.overlay;
    const auto i = static_cast<std::size_t>(index < kFirstOverlayIndex ? index : index - kFirstOverlayIndex);
    if (index >= 2 * kMaxMapTypesPerMode || i >= list.size())
        return nullptr;
    return &list[i];
}

const MapSource* findSource(const MapSources& sources, int index)
{
    auto it = sources.find(index);
    return it == sources.end() ? nullptr : &it->second;
}

bool fitChoiceToSource(const MapSource& source, MapTypeChoice& choice)
{
    const MapTypeChoice before = choice;
    if (!getMapType(source, choice.mapType))
        choice.mapType = 0;
    int* overlays[] = {&choice.overlay1, &choice.overlay2, &choice.overlay3};
    for (int i = 0; i < 3; ++i)
        if (!getMapType(source, kFirstOverlayIndex + i))
            *overlays[i] = 0;
    return before.mapType != choice.mapType || before.overlay1 != choice.overlay1
           || before.overlay2 != choice.overlay2 || before.overlay3 != choice.overlay3;
}

bool isSafeFileName(const std::string& name)
{
    if (name.empty() || name == "." || name == ".." || name.size() > 200)
        return false;
    for (const char c : name)
        if (c == '/' || c == '\\' || c == '\0' || static_cast<unsigned char>(c) < 0x20)
            return false;
    return true;
}

} // namespace tw::maps

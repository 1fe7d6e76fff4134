// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary text read as coordinates, as the clipboard,
// a listing's selection or a typed field hands it on.
#include "geo/CoordParser.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto p = tw::geo::parseCoords(text, {50.0, 14.0})) {
        if (std::isnan(p->lat) || std::isnan(p->lon))
            __builtin_trap();
    }
    const auto half = text.size() / 2;
    (void)tw::geo::readCoordField(text.substr(0, half), text.substr(half), size % 2 == 0);
    return 0;
}

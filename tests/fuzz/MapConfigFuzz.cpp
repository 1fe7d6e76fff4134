// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes read as a map configuration file.
#include "maps/MapConfig.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto path = tw::fuzz::scratchFile("map-config.xml", data, size);
    tw::maps::MapSources sources;
    tw::maps::readMapConfig(path, sources);
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const auto* source = tw::maps::findSource(sources, static_cast<int>(i));
        if (source)
            for (int t = 0; t < 4; ++t)
                (void)tw::maps::getMapType(*source, t);
    }
    return 0;
}

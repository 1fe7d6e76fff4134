// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes through every Live API response parser.
#include "online/LiveParsers.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first byte chooses the parser, so that each input is read once.
    if (size == 0)
        return 0;
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 5) {
    case 0: {
        const tw::net::LiveSearchPage page = tw::net::parseGeocacheResponse(text, "finder0");
        // A document that is not whole yields nothing to store.
        if (!page.wellFormed && !page.caches.empty())
            __builtin_trap();
        break;
    }
    case 1:
        (void)tw::net::parseStatusResponse(text);
        break;
    case 2:
        (void)tw::net::parseLimitsResponse(text);
        break;
    case 3:
        (void)tw::net::parseProfileResponse(text);
        break;
    default:
        (void)tw::net::parsePublishResponse(text);
        break;
    }
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes through every Live API response parser.
#include "online/LiveParsers.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const tw::net::LiveSearchPage page = tw::net::parseGeocacheResponse(text, "finder0");
    // A document that is not whole yields nothing to store.
    if (!page.wellFormed && !page.caches.empty())
        __builtin_trap();
    (void)tw::net::parseStatusResponse(text);
    (void)tw::net::parseLimitsResponse(text);
    (void)tw::net::parseProfileResponse(text);
    (void)tw::net::parsePublishResponse(text);
    return 0;
}

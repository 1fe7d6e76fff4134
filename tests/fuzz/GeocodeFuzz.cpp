// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes read as an address search response.
#include "online/AddressSearch.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto result = tw::net::readGeocodeResponse(std::string_view(reinterpret_cast<const char*>(data), size));
    // A position that is read is always one on the globe.
    if (result.hasCoordinates && !(std::fabs(result.lat) <= 90.0 && std::fabs(result.lon) <= 180.0))
        std::abort();
    (void)tw::net::accuracyTextNumber(result.accuracy);
    return 0;
}

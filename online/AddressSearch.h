// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace tw::net {

class CNetClient;

/** What the address search service made of a free-form address. */
struct GeocodeResult {
    int code = 0;                 // the service's status code
    std::string address;          // the address as the service understood it
    double lat = 0.0;             // degrees
    double lon = 0.0;
    int accuracy = 0;             // 0 (unknown) to 9 (exact)
    bool hasCoordinates = false;  // a "coordinates" element was read
    bool hasAccuracy = false;     // an "Accuracy" attribute was read
};

/** Reads the service's XML answer: elements "code", "address" and
 *  "coordinates" ("lon,lat[,height]"), and the attribute "Accuracy" of any
 *  element; the last of a kind wins. Anything else is skipped; a value that
 *  does not read leaves its field as it was. */
GeocodeResult readGeocodeResponse(std::string_view text);

/** The service's address: TARNWICK_GEOCODER_URL or the GeocoderUrl setting;
 *  empty when not set up. */
std::string geocoderEndpoint(const std::string& setting);

/** Asks the service at endpoint for query ("q=<query>&output=xml", the
 *  query escaped). An empty result when no service is set up or the request
 *  fails. Blocks: call it off the window thread. */
GeocodeResult searchAddress(CNetClient& client, const std::string& endpoint, const std::string& query);

/** The language text that names an accuracy (191 to 200); 0 for a value
 *  outside 0 to 9. */
int accuracyTextNumber(int accuracy);

} // namespace tw::net

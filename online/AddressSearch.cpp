// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/AddressSearch.h"

#include "online/CNetClient.h"
#include "online/LiveLogin.h"
#include "platform/Numbers.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"

#include <cmath>

namespace tw::net {

namespace {

// The text of one element is short; a longer one is cut here.
constexpr std::size_t kMaxElementText = 64 * 1024;

} // namespace

GeocodeResult readGeocodeResponse(std::string_view text)
{
    GeocodeResult result;
    CUtf8MemorySource source(text);
    CXmlTokenizer xml(source);
    std::string buffer;
    for (int token = xml.NextToken(); token != XT_END; token = xml.NextToken()) {
        switch (token) {
        case XT_START_TAG:
            buffer.clear();
            break;
        case XT_TEXT:
        case XT_SPACE:
        case XT_CHUNK:
            if (buffer.size() < kMaxElementText)
                buffer += xml.GetValueUtf8();
            break;
        case XT_ATTRIBUTE:
            if (std::string_view(xml.GetAttrName()) == "Accuracy") {
                if (const auto accuracy = num::leadingInt(xml.GetValueUtf8())) {
                    result.accuracy = *accuracy;
                    result.hasAccuracy = true;
                }
            }
            break;
        case XT_END_TAG: {
            const std::string_view name = xml.GetTagName();
            if (name == "code") {
                if (const auto code = num::leadingInt(buffer))
                    result.code = *code;
            } else if (name == "address") {
                result.address = buffer;
            } else if (name == "coordinates") {
                // "lon,lat", then an optional height that does not count.
                std::size_t used = 0;
                const auto lon = num::leadingDouble(buffer, &used);
                if (lon && used < buffer.size() && buffer[used] == ',') {
                    const auto lat = num::leadingDouble(std::string_view(buffer).substr(used + 1));
                    if (lat && std::isfinite(*lat) && std::isfinite(*lon) && std::fabs(*lat) <= 90.0
                        && std::fabs(*lon) <= 180.0) {
                        result.lon = *lon;
                        result.lat = *lat;
                        result.hasCoordinates = true;
                    }
                }
            }
            break;
        }
        default:
            break;
        }
    }
    return result;
}

std::string geocoderEndpoint(const std::string& setting)
{
    return serviceEndpoint("TARNWICK_GEOCODER_URL", setting);
}

GeocodeResult searchAddress(CNetClient& client, const std::string& endpoint, const std::string& query)
{
    if (endpoint.empty())
        return {};
    // Escaped: a blank or "#" would otherwise break the address.
    const char joint = endpoint.find('?') == std::string::npos ? '?' : '&';
    const std::string url = endpoint + joint + "q=" + CNetClient::urlEncode(query) + "&output=xml";
    std::string text;
    if (!client.httpGet(url, text))
        return {};
    return readGeocodeResponse(text);
}

int accuracyTextNumber(int accuracy)
{
    return accuracy >= 0 && accuracy <= 9 ? 191 + accuracy : 0;
}

} // namespace tw::net

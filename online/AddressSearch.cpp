// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/AddressSearch.h"

#include "online/CNetClient.h"
#include "online/LiveLogin.h"
#include "platform/Numbers.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <cmath>

namespace tw::net {

namespace {

// The answer's elements of interest hold no children: each end tag reads the
// text since the last start tag.
struct GeocodeReader {
    GeocodeResult& result;

    void start(const std::string&, std::string&) {}
    void attribute(const std::string&, std::string_view name, std::u16string_view value)
    {
        if (name != "Accuracy")
            return;
        if (const auto accuracy = num::leadingInt(toUtf8(value))) {
            result.accuracy = *accuracy;
            result.hasAccuracy = true;
        }
    }
    void end(const std::string& name, std::string& text)
    {
        if (name == "code") {
            if (const auto code = num::leadingInt(text))
                result.code = *code;
        } else if (name == "address") {
            result.address = text;
        } else if (name == "coordinates") {
            coordinates(text);
        }
    }
    // "lon,lat", then an optional height that does not count.
    void coordinates(const std::string& text)
    {
        std::size_t used = 0;
        const auto lon = num::leadingDouble(text, &used);
        if (!lon || used >= text.size() || text[used] != ',')
            return;
        const auto lat = num::leadingDouble(std::string_view(text).substr(used + 1));
        if (lat && std::isfinite(*lat) && std::isfinite(*lon) && std::fabs(*lat) <= 90.0 && std::fabs(*lon) <= 180.0) {
            result.lon = *lon;
            result.lat = *lat;
            result.hasCoordinates = true;
        }
    }
};

} // namespace

GeocodeResult readGeocodeResponse(std::string_view text)
{
    GeocodeResult result;
    CUtf8MemorySource source(text);
    CXmlTokenizer xml(source);
    GeocodeReader reader{result};
    walkElements<XmlWalkOptions{.maxText = kMaxShortElementText}>(xml, reader);
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
    // Escaped, and sent escaped: a blank, "#" or "&" would otherwise break
    // the address.
    const char joint = endpoint.find('?') == std::string::npos ? '?' : '&';
    const std::string url = endpoint + joint + "q=" + CNetClient::urlEncode(query) + "&output=xml";
    std::string text;
    if (!client.httpGetEscaped(url, text))
        return {};
    return readGeocodeResponse(text);
}

int accuracyTextNumber(int accuracy)
{
    return accuracy >= 0 && accuracy <= 9 ? 191 + accuracy : 0;
}

} // namespace tw::net

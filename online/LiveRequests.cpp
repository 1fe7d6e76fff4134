// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/LiveRequests.h"

#include "platform/Text.h"
#include "online/LiveParsers.h"

#include <cstdio>

namespace tw::net {
namespace {

std::string ns(const char* uri)
{
    return std::string(" xmlns=\"") + uri + "\"";
}

std::string element(const char* name, const std::string& value)
{
    return std::string("<") + name + ">" + value + "</" + name + ">";
}

std::string root(const char* name, const std::string& children)
{
    return std::string("<") + name + ns(LiveNs::Data) + ">" + children + "</" + name + ">";
}

std::string arrayItems(const char* item, const std::vector<std::string>& values)
{
    std::string out;
    for (const std::string& v : values)
        out += std::string("<") + item + ns(LiveNs::Arrays) + ">" + xmlEscape(v) + "</" + item + ">";
    return out;
}

std::string userNames(const char* block)
{
    return element(block, "<UserNames" + ns(LiveNs::Types) + ">" + "<string" + ns(LiveNs::Arrays) +
                              ">%NICK%</string></UserNames>");
}

// The paging members every search carries.
std::string searchHead(const std::string& start, const std::string& perPage, int logs)
{
    return element("AccessToken", "%ACCESS%") + element("IsLite", "%ISLITE%") + element("StartIndex", start) +
           element("MaxPerPage", perPage) + element("GeocacheLogCount", std::to_string(logs)) +
           element("TrackableLogCount", "0");
}

} // namespace

std::string xmlEscape(std::string_view text)
{
    return text::escapeMarkup(text);
}

std::string fillTemplate(std::string_view templ, const std::map<std::string, std::string>& values)
{
    std::string out;
    out.reserve(templ.size() + 256);
    std::size_t pos = 0;
    while (pos < templ.size()) {
        const std::size_t open = templ.find('%', pos);
        if (open == std::string_view::npos)
            break;
        const std::size_t close = templ.find('%', open + 1);
        if (close == std::string_view::npos)
            break;
        const auto it = values.find(std::string(templ.substr(open + 1, close - open - 1)));
        if (it == values.end()) {
            // Not a placeholder: the second '%' may open the next one.
            out.append(templ.substr(pos, close - pos));
            pos = close;
            continue;
        }
        out.append(templ.substr(pos, open - pos));
        out += it->second;
        pos = close + 1;
    }
    out.append(templ.substr(pos));
    return out;
}

std::string searchByCodesTemplate(const std::vector<std::string>& codes, int maxPerPage)
{
    return root("SearchForGeocachesRequest",
                searchHead("0", std::to_string(maxPerPage), 10) +
                    element("CacheCode", "<CacheCodes" + ns(LiveNs::Types) + ">" + arrayItems("string", codes) +
                                             "</CacheCodes>"));
}

std::string statusTemplate(const std::vector<std::string>& codes)
{
    return root("GetGeocacheStatusRequest",
                element("AccessToken", "%ACCESS%") + element("CacheCodes", arrayItems("string", codes)));
}

std::string nearestTemplate(bool basicMember, bool notFoundBlock)
{
    const std::string types = ns(LiveNs::Types);
    const std::string utilities = ns(LiveNs::Utilities);
    std::string body = searchHead("0", "%MAX_PER_PAGE%", 5);
    body += element("PointRadius", "<DistanceInMeters" + types + ">%DIST%</DistanceInMeters><Point" + types +
                                       "><Latitude" + utilities + ">%LAT%</Latitude><Longitude" + utilities +
                                       ">%LON%</Longitude></Point>");
    if (basicMember)
        body += element("GeocacheType",
                        "<GeocacheTypeIds" + types + "><long" + ns(LiveNs::Arrays) + ">2</long></GeocacheTypeIds>");
    if (notFoundBlock)
        body += userNames("NotFoundByUsers");
    body += element("GeocacheExclusions",
                    "<Available" + types + ">true</Available><Archived" + types + ">false</Archived>");
    body += userNames("NotHiddenByUsers");
    return root("SearchForGeocachesRequest", body);
}

std::string moreTemplate()
{
    return root("GetMoreGeocachesRequest", searchHead("%START_INDEX%", "%MAX_PER_PAGE%", 5));
}

std::string profileTemplate()
{
    std::string options;
    for (const char* name : {"FavoritePointsData", "GeocacheData", "PublicProfileData", "SouvenirData", "TrackableData"})
        options += element(name, "false");
    return root("GetYourUserProfileRequest", element("AccessToken", "%ACCESS%") + element("ProfileOptions", options));
}

std::string publishTemplate()
{
    return root("CreateFieldNoteAndPublishRequest",
                element("AccessToken", "%ACCESS%") + element("CacheCode", "%CODE%") +
                    element("WptLogTypeId", "%TYPE%") + element("UTCDateLogged", "%DATE%") +
                    element("Note", "%TEXT%") + element("PromoteToLog", "true"));
}

std::string noteText(std::string_view note)
{
    std::string out;
    for (const char c : xmlEscape(note)) {
        if (c == '\n')
            out += "&#xD;&#xA;";
        else if (c != '\r')
            out += c;
    }
    return out;
}

std::string noteDate(const std::tm& t)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:00", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min);
    return buf;
}

std::string fixed6(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", value);
    std::string s = buf;
    // A locale with a decimal comma must not reach the service.
    for (char& c : s)
        if (c == ',')
            c = '.';
    return s;
}

std::string fixed0(double value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.0f", value);
    return buf;
}

} // namespace tw::net

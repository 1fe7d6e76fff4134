// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/LiveParsers.h"

#include "db/Enumerations.h"
#include "exchange/CGpxImporter.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"

#include <algorithm>
#include <cmath>

namespace tw::net {
namespace {

// Text kept for one element; a listing stays far below it.
constexpr std::size_t kMaxElementText = 4u << 20;
// Entries of one kind kept per document or cache: more is no answer the
// service gives, and memory stays bounded whatever the response holds.
constexpr std::size_t kMaxEntries = 1000;
constexpr std::size_t kMaxAttributes = 256;
constexpr int kMaxDepth = 64;

// Reads one document token by token, keeping the text of the element being
// read, and notes whether the document is whole.
template <class OnStart, class OnEnd>
void walk(std::string_view response, LiveDocument& doc, OnStart onStart, OnEnd onEnd)
{
    CUtf8MemorySource source(response);
    CXmlTokenizer xml(source);
    std::string text;
    std::string root;
    int depth = 0;
    bool broken = false;
    bool closed = false;
    bool inStatus = false;
    for (int token = xml.NextToken(); token != XT_END; token = xml.NextToken()) {
        switch (token) {
        case XT_ERROR:
            broken = true;
            break;
        case XT_START_TAG: {
            const std::string name = xml.GetTagName();
            if (closed || ++depth > kMaxDepth)
                broken = true;
            if (root.empty())
                root = name;
            if (name == "Status")
                inStatus = true;
            text.clear();
            if (!broken)
                onStart(name);
            break;
        }
        case XT_TEXT:
        case XT_SPACE:
        case XT_CHUNK:
            if (text.size() < kMaxElementText)
                text += xml.GetValueUtf8();
            break;
        case XT_END_TAG: {
            const std::string name = xml.GetTagName();
            if (--depth < 0)
                broken = true;
            if (depth == 0 && name == root)
                closed = true;
            if (inStatus) {
                if (name == "StatusCode")
                    doc.status.code = num::leadingInt(text).value_or(LiveStatusCode::None);
                else if (name == "StatusMessage")
                    doc.status.message = liveText(text);
                else if (name == "Status")
                    inStatus = false;
            }
            if (!broken)
                onEnd(name, text);
            text.clear();
            break;
        }
        default:
            break;
        }
        if (broken)
            break;
    }
    doc.wellFormed = !broken && closed;
}

int readInt(const std::string& text, int fallback = 0)
{
    return num::leadingInt(text).value_or(fallback);
}

// Ratings arrive as "1.5": kept as tenths.
int readRating(const std::string& text, int fallback)
{
    const auto v = num::leadingDouble(text);
    if (!v || !std::isfinite(*v) || std::abs(*v) > 1e6)
        return fallback;
    return static_cast<int>(*v * 10.0);
}

bool readCoordinate(const std::string& text, double limit, double& out)
{
    const auto v = num::leadingDouble(text);
    if (!v || !std::isfinite(*v) || std::abs(*v) > limit)
        return false;
    out = *v;
    return true;
}

// A document that is not whole yields nothing but its status.
template <class T>
void keepStatusOnly(T& doc)
{
    const LiveDocument status = doc;
    doc = T();
    static_cast<LiveDocument&>(doc) = status;
}

} // namespace

std::string liveText(std::string text)
{
    // "&#xD;" before a line feed is a CR LF line end; alone it ends a line too.
    text = text::replaceAll(text, "&;xD;\n", "\n");
    text = text::replaceAll(text, "&;xD;", "\n");
    return text::replaceAll(text, "\r\n", "\n");
}

LiveDocument readLiveStatus(std::string_view response)
{
    LiveDocument doc;
    walk(response, doc, [](const std::string&) {}, [](const std::string&, const std::string&) {});
    return doc;
}

LiveSearchPage parseGeocacheResponse(std::string_view response, const std::string& nickname)
{
    LiveSearchPage page;
    struct {
        std::unique_ptr<CGeocache> cache;
        std::unique_ptr<CWaypoint> waypoint;
        std::unique_ptr<CGeoLog> log;
        std::string favorites, imageName, imageUrl, attribute;
        std::vector<std::string> images;
        bool inWaypoints = false, inLog = false, inImages = false, inTrackables = false;
        bool badPosition = false;
    } s;
    auto foundDate = [&] {
        if (!nickname.empty() && s.log->finder == nickname && s.log->type == LogType::FoundIt)
            s.cache->found = s.log->date;
    };
    auto onStart = [&](const std::string& name) {
        if (name == "a:Geocache") {
            s.inLog = s.inWaypoints = s.inImages = s.inTrackables = false;
            page.sawGeocache = true;
            s.cache = std::make_unique<CGeocache>();
            s.favorites.clear();
            s.images.clear();
            s.badPosition = false;
            return;
        }
        if (!s.cache)
            return;
        if (name == "a:AdditionalWaypoints") {
            s.inWaypoints = true;
        } else if (name == "AdditionalWaypoint") {
            s.waypoint = std::make_unique<CWaypoint>();
        } else if (name == "a:Attributes") {
            s.cache->attributes.clear();
        } else if (name == "a:GeocacheLog") {
            s.log = std::make_unique<CGeoLog>();
            s.inLog = true;
        } else if (name == "a:Images" && !s.inLog && !s.inTrackables) {
            s.inImages = true;
        } else if (name == "a:Trackables") {
            s.inTrackables = true;
        }
    };
    auto onEnd = [&](const std::string& name, const std::string& text) {
        if (name == "a:Images") {
            s.inImages = false;
            return;
        }
        if (name == "a:Trackables") {
            s.inTrackables = false;
            return;
        }
        if (name == "a:CachesLeft") {
            page.cachesLeft = readInt(text, -1);
            return;
        }
        if (name == "a:MaxCacheCount") {
            page.maxCacheCount = readInt(text, -1);
            return;
        }
        if (!s.cache)
            return;
        CGeocache& c = *s.cache;
        if (s.inWaypoints) {
            if (name == "a:AdditionalWaypoints") {
                s.inWaypoints = false;
                return;
            }
            if (!s.waypoint)
                return;
            CWaypoint& w = *s.waypoint;
            if (name == "Code") {
                w.code = w.name = text;
            } else if (name == "Comment") {
                w.text = liveText(text);
            } else if (name == "Description") {
                if (!text.empty())
                    w.name = text;
            } else if (name == "Name") {
                w.type = waypointTypeFromText(text);
            } else if (name == "GUID") {
                w.guid = text;
            } else if (name == "Latitude" || name == "Longitude") {
                const bool lat = name == "Latitude";
                if (!readCoordinate(text, lat ? 90.0 : 180.0, lat ? w.lat : w.lon))
                    w.lat = w.lon = 0.0;
            } else if (name == "AdditionalWaypoint") {
                if (c.waypoints.size() < kMaxEntries)
                    c.waypoints.push_back(std::move(s.waypoint));
                s.waypoint.reset();
            }
            return;
        }
        if (s.inLog && s.log) {
            CGeoLog& log = *s.log;
            if (name == "a:VisitDate") {
                log.date = gpxDate(text);
                foundDate();
            } else if (name == "a:WptLogTypeName") {
                log.type = logTypeFromText(text);
                foundDate();
            } else if (name == "a:UserName") {
                log.finder = text;
                foundDate();
            } else if (name == "a:LogText") {
                log.text = liveText(text);
            } else if (name == "a:ID") {
                log.logId = readInt(text);
            } else if (name == "a:GeocacheLog") {
                s.inLog = false;
                if (c.logs.size() < kMaxEntries)
                    c.logs.push_back(std::move(s.log));
                s.log.reset();
            }
            return;
        }
        if (s.inTrackables)
            return;
        if (s.inImages) {
            if (name == "a:Name") {
                s.imageName = text;
            } else if (name == "a:Url") {
                s.imageUrl = text;
            } else if (name == "a:ImageData" && s.images.size() < kMaxEntries) {
                s.images.push_back("<a href=\"" + s.imageUrl + "\">" + s.imageName + "</a>");
            }
            return;
        }
        if (name == "a:Archived") {
            if (text == "true")
                c.status = 2;
        } else if (name == "a:Available") {
            if (c.status != 2)
                c.status = text == "true" ? 0 : 1;
        } else if (name == "a:AttributeTypeID") {
            s.attribute = attributeName(readInt(text));
        } else if (name == "a:IsOn") {
            s.attribute += text == "true" ? "-yes" : "-no";
        } else if (name == "a:Attribute") {
            auto& list = c.attributes;
            if (list.size() < kMaxAttributes && std::find(list.begin(), list.end(), s.attribute) == list.end())
                list.push_back(s.attribute);
        } else if (name == "a:GeocacheTypeId") {
            c.type = readInt(text, CacheType::Unknown);
        } else if (name == "a:Code") {
            c.code = text;
        } else if (name == "a:ContainerTypeId") {
            c.size = readInt(text, CacheSize::NotChosen);
        } else if (name == "a:DateCreated") {
            c.hidden = gpxDate(text);
        } else if (name == "a:Difficulty") {
            c.difficulty = readRating(text, c.difficulty);
        } else if (name == "a:Terrain") {
            c.terrain = readRating(text, c.terrain);
        } else if (name == "a:FavoritePoints") {
            s.favorites = text;
        } else if (name == "a:GUID") {
            c.guid = text;
        } else if (name == "a:Name") {
            c.name = text;
        } else if (name == "a:UserName") {
            c.author = text;
        } else if (name == "a:Latitude" || name == "a:Longitude") {
            const bool lat = name == "a:Latitude";
            if (!readCoordinate(text, lat ? 90.0 : 180.0, lat ? c.lat : c.lon))
                s.badPosition = true;
        } else if (name == "a:ShortDescription") {
            c.text = liveText(text);
        } else if (name == "a:ShortDescriptionIsHtml") {
            c.shortDescHtml = text == "true";
        } else if (name == "a:LongDescription") {
            c.longDesc = liveText(text);
        } else if (name == "a:LongDescriptionIsHtml") {
            c.longDescHtml = text == "true";
        } else if (name == "a:UpgradeMessage") {
            if (!text.empty())
                c.longDesc += "<p><hr>" + liveText(text);
        } else if (name == "a:EncodedHints") {
            c.hint = liveText(text);
        } else if (name == "a:Country") {
            c.country = text;
        } else if (name == "a:State") {
            c.state = text;
        } else if (name == "a:GeocacheNote") {
            c.comment = liveText(text);
        } else if (name == "a:Geocache") {
            // A cache somewhere off the Earth is not one to store.
            if (!s.badPosition && page.caches.size() < kMaxEntries)
                page.caches.push_back({std::move(s.cache), std::move(s.favorites), std::move(s.images)});
            s.cache.reset();
        }
    };
    walk(response, page, onStart, onEnd);
    if (!page.wellFormed)
        page.caches.clear();
    return page;
}

LiveStatusPage parseStatusResponse(std::string_view response)
{
    LiveStatusPage page;
    LiveCacheStatus current;
    bool open = false;
    auto onStart = [&](const std::string& name) {
        if (name == "a:GeocacheStatus") {
            current = LiveCacheStatus();
            open = true;
        }
    };
    auto onEnd = [&](const std::string& name, const std::string& text) {
        if (!open)
            return;
        if (name == "a:Archived") {
            if (text == "true")
                current.status = 2;
        } else if (name == "a:Available") {
            if (current.status != 2)
                current.status = text == "true" ? 0 : 1;
        } else if (name == "a:CacheCode") {
            current.code = text;
        } else if (name == "a:CacheName") {
            current.name = text;
        } else if (name == "a:CacheType") {
            current.type = readInt(text, CacheType::Unknown);
        } else if (name == "a:GeocacheStatus") {
            if (page.statuses.size() < kMaxEntries)
                page.statuses.push_back(current);
            open = false;
        }
    };
    walk(response, page, onStart, onEnd);
    if (!page.wellFormed)
        page.statuses.clear();
    return page;
}

LiveLimits parseLimitsResponse(std::string_view response)
{
    LiveLimits limits;
    enum { None, Full, Lite } block = None;
    auto onStart = [&](const std::string& name) {
        if (name == "a:CacheLimits")
            block = Full;
        else if (name == "a:LiteCacheLimits")
            block = Lite;
    };
    auto onEnd = [&](const std::string& name, const std::string& text) {
        if (name == "a:CacheLimits" || name == "a:LiteCacheLimits") {
            block = None;
        } else if (name == "a:CacheLimit" && block != None) {
            (block == Full ? limits.fullLimit : limits.liteLimit) = readInt(text);
        } else if (name == "a:InMinutes" && block != None) {
            (block == Full ? limits.fullWindowMinutes : limits.liteWindowMinutes) = readInt(text);
        } else if (name == "a:ForMembershipType") {
            limits.membership = text;
        }
    };
    walk(response, limits, onStart, onEnd);
    if (!limits.wellFormed)
        keepStatusOnly(limits);
    return limits;
}

LiveProfile parseProfileResponse(std::string_view response)
{
    LiveProfile profile;
    auto onEnd = [&](const std::string& name, const std::string& text) {
        if (name == "a:MemberTypeName")
            profile.membership = text;
        else if (name == "a:UserName")
            profile.userName = text;
    };
    walk(response, profile, [](const std::string&) {}, onEnd);
    if (!profile.wellFormed)
        keepStatusOnly(profile);
    return profile;
}

LivePublishedLog parsePublishResponse(std::string_view response)
{
    LivePublishedLog result;
    CGeoLog log;
    auto onEnd = [&](const std::string& name, const std::string& text) {
        if (name == "a:VisitDate")
            log.date = gpxDate(text);
        else if (name == "a:WptLogTypeName")
            log.type = logTypeFromText(text);
        else if (name == "a:UserName")
            log.finder = text;
        else if (name == "a:LogText")
            log.text = liveText(text);
        else if (name == "a:ID")
            log.logId = readInt(text);
        else if (name == "Log") {
            result.log = log;
            result.hasLog = true;
        }
    };
    walk(response, result, [](const std::string&) {}, onEnd);
    if (!result.wellFormed)
        result.hasLog = false;
    return result;
}

} // namespace tw::net

// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/LiveParsers.h"

#include "db/Enumerations.h"
#include "db/FoundDate.h"
#include "geo/DateText.h"
#include "online/ServerText.h"
#include "platform/Numbers.h"
#include "platform/Text.h"
#include "xml/CUtf8MemorySource.h"
#include "xml/CXmlTokenizer.h"
#include "xml/XmlElementWalker.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tw::net {
namespace {

// Entries of one kind kept per document or cache: more is no answer the
// service gives, and memory stays bounded whatever the response holds.
constexpr std::size_t kMaxEntries = 1000;
constexpr std::size_t kMaxAttributes = 256;

// Reads one document element by element, reading the status block on the
// way, and notes whether the document is whole. The status is read even
// from the stray end tag that breaks a document.
template <class OnStart, class OnEnd>
void walk(std::string_view response, LiveDocument& doc, OnStart onStart, OnEnd onEnd)
{
    struct Reader {
        LiveDocument& doc;
        OnStart& onStart;
        OnEnd& onEnd;
        bool inStatus = false;

        void status(const std::string& name, const std::string& text)
        {
            if (!inStatus)
                return;
            if (name == "StatusCode")
                doc.status.code = num::leadingInt(text).value_or(LiveStatusCode::None);
            else if (name == "StatusMessage")
                // Shown in message boxes and printed by batch runs.
                doc.status.message = printableText(liveText(text));
            else if (name == "Status")
                inStatus = false;
        }
        void start(const std::string& name, std::string&)
        {
            if (name == "Status")
                inStatus = true;
            onStart(name);
        }
        void end(const std::string& name, std::string& text)
        {
            status(name, text);
            onEnd(name, std::as_const(text));
        }
        void strayEnd(const std::string& name, std::string& text) { status(name, text); }
    } reader{doc, onStart, onEnd};
    CUtf8MemorySource source(response);
    CXmlTokenizer xml(source);
    // Characters the service writes as references ("&#xD;", "&#x1F4AF;")
    // are the characters themselves.
    xml.setDecodeCharacterReferences(true);
    constexpr XmlWalkOptions kOptions{.textReset = XmlTextReset::AtEveryTag, .stopWhenBroken = true};
    doc.wellFormed = walkElements<kOptions>(xml, reader).wellFormed;
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

// The caches of a search response, each handed to the page as it ends.
class GeocacheReader {
public:
    GeocacheReader(LiveSearchPage& page, const std::string& nickname) : m_page(page), m_nickname(nickname) {}

    void start(const std::string& name)
    {
        if (name == "a:Geocache") {
            m_inLog = m_inWaypoints = m_inImages = m_inTrackables = false;
            m_page.sawGeocache = true;
            m_cache = std::make_unique<CGeocache>();
            m_images.clear();
            m_badPosition = false;
            return;
        }
        if (!m_cache)
            return;
        if (m_inTrackables) {
            // A trackable's own members are one level below it; deeper ones
            // (its owner's name, its images) are not its code or name.
            if (++m_trackableDepth == 1 && name == "a:Trackable" && m_cache->travelBugs.size() < kMaxEntries) {
                m_cache->travelBugs.emplace_back();
                m_inTrackable = true;
            }
            return;
        }
        if (name == "a:AdditionalWaypoints") {
            m_inWaypoints = true;
        } else if (name == "AdditionalWaypoint") {
            m_waypoint = std::make_unique<CWaypoint>();
            m_badWaypointPosition = false;
        } else if (name == "a:Attributes") {
            m_cache->attributes.clear();
        } else if (name == "a:GeocacheLog") {
            m_log = std::make_unique<CGeoLog>();
            m_inLog = true;
        } else if (name == "a:Images" && !m_inLog && !m_inTrackables) {
            m_inImages = true;
        } else if (name == "a:Trackables") {
            m_inTrackables = true;
            m_trackableDepth = 0;
            m_inTrackable = false;
            m_cache->travelBugs.clear();
        }
    }

    void end(const std::string& name, const std::string& text)
    {
        if (m_inTrackables && (name != "a:Trackables" || m_trackableDepth > 0)) {
            if (m_cache)
                trackableEnd(name, text);
            return;
        }
        if (name == "a:Images") {
            m_inImages = false;
        } else if (name == "a:Trackables") {
            m_inTrackables = false;
        } else if (name == "a:CachesLeft") {
            m_page.cachesLeft = readInt(text, -1);
        } else if (name == "a:MaxCacheCount") {
            m_page.maxCacheCount = readInt(text, -1);
        } else if (!m_cache) {
            return;
        } else if (m_inWaypoints) {
            waypointEnd(name, text);
        } else if (m_inLog && m_log) {
            logEnd(name, text);
        } else if (m_inImages) {
            imageEnd(name, text);
        } else {
            cacheEnd(name, text);
        }
    }

private:
    void waypointEnd(const std::string& name, const std::string& text)
    {
        if (name == "a:AdditionalWaypoints") {
            m_inWaypoints = false;
            return;
        }
        if (!m_waypoint)
            return;
        CWaypoint& w = *m_waypoint;
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
                m_badWaypointPosition = true;
        } else if (name == "AdditionalWaypoint") {
            // Like a cache, a waypoint off the Earth is dropped (it was kept
            // at 0,0, in the ocean off Africa).
            if (!m_badWaypointPosition && m_cache->waypoints.size() < kMaxEntries)
                m_cache->waypoints.push_back(std::move(m_waypoint));
            m_waypoint.reset();
        }
    }

    void logEnd(const std::string& name, const std::string& text)
    {
        CGeoLog& log = *m_log;
        if (name == "a:VisitDate") {
            log.date = geo::gpxDate(text);
            takeFoundDate(*m_cache, log, m_nickname);
        } else if (name == "a:WptLogTypeName") {
            log.type = logTypeFromText(text);
            takeFoundDate(*m_cache, log, m_nickname);
        } else if (name == "a:UserName") {
            log.finder = text;
            takeFoundDate(*m_cache, log, m_nickname);
        } else if (name == "a:LogText") {
            log.text = liveText(text);
        } else if (name == "a:ID") {
            log.logId = readInt(text);
        } else if (name == "a:GeocacheLog") {
            m_inLog = false;
            if (m_cache->logs.size() < kMaxEntries)
                m_cache->logs.push_back(std::move(m_log));
            m_log.reset();
        }
    }

    void trackableEnd(const std::string& name, const std::string& text)
    {
        const int depth = m_trackableDepth--;
        if (!m_inTrackable)
            return;
        if (depth == 1) {
            m_inTrackable = false;
        } else if (depth == 2) {
            CTravelBug& bug = m_cache->travelBugs.back();
            if (name == "a:Code")
                bug.ref = text;
            else if (name == "a:Id")
                bug.id = readInt(text);
            else if (name == "a:Name")
                bug.name = liveText(text);
        }
    }

    void imageEnd(const std::string& name, const std::string& text)
    {
        if (name == "a:Name") {
            m_imageName = text;
        } else if (name == "a:Url") {
            m_imageUrl = text;
        } else if (name == "a:ImageData") {
            // The link goes into the Images page: an address that
            // could close its attribute is dropped, the name kept as text.
            if (auto link = imageLink(m_imageUrl, m_imageName); link && m_images.size() < kMaxEntries)
                m_images.push_back(std::move(*link));
            m_imageUrl.clear();
            m_imageName.clear();
        }
    }

    void cacheEnd(const std::string& name, const std::string& text)
    {
        CGeocache& c = *m_cache;
        if (name == "a:Archived") {
            if (text == "true")
                c.status = 2;
        } else if (name == "a:Available") {
            if (c.status != 2)
                c.status = text == "true" ? 0 : 1;
        } else if (name == "a:AttributeTypeID") {
            m_attribute = attributeName(readInt(text));
        } else if (name == "a:IsOn") {
            m_attribute += text == "true" ? "-yes" : "-no";
        } else if (name == "a:Attribute") {
            auto& list = c.attributes;
            if (list.size() < kMaxAttributes && std::find(list.begin(), list.end(), m_attribute) == list.end())
                list.push_back(m_attribute);
        } else if (name == "a:GeocacheTypeId") {
            c.type = readInt(text, CacheType::Unknown);
        } else if (name == "a:Code") {
            c.code = text;
        } else if (name == "a:ContainerTypeId") {
            c.size = readInt(text, CacheSize::NotChosen);
        } else if (name == "a:DateCreated") {
            c.hidden = geo::gpxDate(text);
        } else if (name == "a:Difficulty") {
            c.difficulty = readRating(text, c.difficulty);
        } else if (name == "a:Terrain") {
            c.terrain = readRating(text, c.terrain);
        } else if (name == "a:FavoritePoints") {
            c.favorites = text;
        } else if (name == "a:GUID") {
            c.guid = text;
        } else if (name == "a:Name") {
            c.name = text;
        } else if (name == "a:UserName") {
            c.author = text;
        } else if (name == "a:Latitude" || name == "a:Longitude") {
            const bool lat = name == "a:Latitude";
            if (!readCoordinate(text, lat ? 90.0 : 180.0, lat ? c.lat : c.lon))
                m_badPosition = true;
        } else if (name == "a:Geocache") {
            // A cache somewhere off the Earth is not one to store.
            if (!m_badPosition && m_page.caches.size() < kMaxEntries)
                m_page.caches.push_back({std::move(m_cache), std::move(m_images)});
            m_cache.reset();
        } else {
            cacheText(c, name, text);
        }
    }

    // The texts of a listing.
    static void cacheText(CGeocache& c, const std::string& name, const std::string& text)
    {
        if (name == "a:ShortDescription") {
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
        }
    }

    LiveSearchPage& m_page;
    const std::string& m_nickname;
    std::unique_ptr<CGeocache> m_cache;
    std::unique_ptr<CWaypoint> m_waypoint;
    std::unique_ptr<CGeoLog> m_log;
    std::string m_imageName, m_imageUrl, m_attribute;
    std::vector<std::string> m_images;
    bool m_inWaypoints = false, m_inLog = false, m_inImages = false, m_inTrackables = false;
    bool m_inTrackable = false;
    int m_trackableDepth = 0; // elements open inside the trackables
    bool m_badPosition = false;
    bool m_badWaypointPosition = false;
};

} // namespace

std::string liveText(std::string text)
{
    // "&#xD;" before a line feed is a CR LF line end; alone it ends a line too.
    if (text.find('\r') == std::string::npos)
        return text;
    return text::replaceAll(text::replaceAll(text, "\r\n", "\n"), "\r", "\n");
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
    GeocacheReader reader(page, nickname);
    walk(
        response, page, [&](const std::string& name) { reader.start(name); },
        [&](const std::string& name, const std::string& text) { reader.end(name, text); });
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
            log.date = geo::gpxDate(text);
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

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CGeoLog.h"
#include "db/CGeocache.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw::net {

// The namespaces of the Live API's XML documents.
namespace LiveNs {
inline constexpr const char* Data = "http://www.geocaching.com/Geocaching.Live/data";
inline constexpr const char* Types =
    "http://schemas.datacontract.org/2004/07/Tucson.Geocaching.WCF.API.Geocaching.Types";
inline constexpr const char* Utilities =
    "http://schemas.datacontract.org/2004/07/Tucson.Geocaching.WCF.API.Utilities";
inline constexpr const char* Arrays = "http://schemas.microsoft.com/2003/10/Serialization/Arrays";
inline constexpr const char* Limits = "http://schemas.datacontract.org/2004/07/Groundspeak.API.AuthorizationLib";
inline constexpr const char* Instance = "http://www.w3.org/2001/XMLSchema-instance";
} // namespace LiveNs

// Status codes the client tells apart.
namespace LiveStatusCode {
constexpr int None = -1;          // the response carries no status
constexpr int Ok = 0;
constexpr int NotAuthorized = 2;  // the token is not accepted: a new login is needed
constexpr int SearchExpired = 55; // no stored search to page on: no more caches
constexpr int LimitExceeded = 118;
} // namespace LiveStatusCode

struct LiveStatus {
    int code = LiveStatusCode::None;
    std::string message;
};

// Every document is read whole before anything is used: a response that is
// cut short or not XML at all (wellFormed false) changes nothing.
struct LiveDocument {
    LiveStatus status;
    bool wellFormed = false; // one root element, closed, without markup errors
};

// The status block of any response.
LiveDocument readLiveStatus(std::string_view response);

// One geocache of a search response, with what the store needs besides the
// record: the image links.
struct LiveCache {
    // With attributes, logs, waypoints, travel bugs and the favourite points
    // text, as an imported file's cache has them.
    std::unique_ptr<CGeocache> cache;
    std::vector<std::string> images; // see imageLink: "<a href=\"address\">name</a>"
};

struct LiveSearchPage : LiveDocument {
    std::vector<LiveCache> caches;
    bool sawGeocache = false;
    int cachesLeft = -1;
    int maxCacheCount = -1;
};

// SearchForGeocaches and GetMoreGeocaches. nickname: a "Found it" log by the
// user sets the cache's found date.
LiveSearchPage parseGeocacheResponse(std::string_view response, const std::string& nickname);

struct LiveCacheStatus {
    std::string code;
    std::string name;
    int status = 0; // 0 available, 1 disabled, 2 archived
    int type = CacheType::Unknown;
};

struct LiveStatusPage : LiveDocument {
    std::vector<LiveCacheStatus> statuses;
};

// GetGeocacheStatus.
LiveStatusPage parseStatusResponse(std::string_view response);

struct LiveLimits : LiveDocument {
    int fullLimit = 0;
    int fullWindowMinutes = 0;
    int liteLimit = 0;
    int liteWindowMinutes = 0;
    std::string membership;
};

// GetAPILimits.
LiveLimits parseLimitsResponse(std::string_view response);

struct LiveProfile : LiveDocument {
    std::string membership;
    std::string userName;
};

// GetYourUserProfile.
LiveProfile parseProfileResponse(std::string_view response);

struct LivePublishedLog : LiveDocument {
    bool hasLog = false;
    CGeoLog log;
};

// CreateFieldNoteAndPublish: the log the service made of the note.
LivePublishedLog parsePublishResponse(std::string_view response);

// A text as the service sends it: a carriage return ("&#xD;"), alone or
// before a line feed, becomes the line end texts are stored with.
std::string liveText(std::string text);

} // namespace tw::net

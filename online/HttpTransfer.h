// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tw::net {

/** A URL made ready for sending: every "%26" in the path and query becomes
 *  "&" (query values carry an escaped ampersand that the server expects raw).
 *  Nothing when the URL does not parse or is not http or https. */
std::optional<std::string> prepareUrl(const std::string& url);

enum class TransferStatus {
    Ok,
    BadUrl,      // the request could not be opened
    Failed,      // the network layer failed (refused, reset, cut short, timed out)
    TooLarge,    // the body passed maxBytes
    WrongType,   // the content type was not accepted
    Cancelled,
    Refused,     // every address of the host (or of a redirect) is not public
    Redirected,  // a redirect the request's policy does not follow
};

enum class RedirectPolicy {
    /** Followed between http and https, to any host (tiles, listing images). */
    HttpAndHttps,
    /** Followed only to the same scheme, host and port: a request that
     *  carries the access token must not be sent on to another server, nor
     *  from https to http. */
    SameOrigin,
};

struct TransferRequest {
    std::string url;
    std::vector<std::string> headers;       // "Name: value" lines
    std::optional<std::string> postBody;    // POST when set
    std::size_t maxBytes = 32u << 20;
    /** Accept only a content type that begins with this (empty: any). */
    std::string requiredTypePrefix;
    std::chrono::seconds connectTimeout{15};
    /** A transfer that moves less than one byte a second for this long fails. */
    std::chrono::seconds stallTimeout{30};
    /** The whole request, redirects included, ends by then: a server that
     *  drips a few bytes a second never trips the stall check. */
    std::chrono::seconds deadline{120};
    RedirectPolicy redirects = RedirectPolicy::HttpAndHttps;
    const std::atomic<bool>* cancel = nullptr;
    /** Sends "%26" as "&" (see prepareUrl), as the Live API expects; a
     *  service that reads its query as escaped (the address search) keeps it. */
    bool rawAmpersands = true;
    /** Connect only to public addresses (see isPublicAddress): checked on
     *  every connection, redirects included, after the name is resolved. */
    bool publicAddressesOnly = false;
};

struct TransferResult {
    TransferStatus status = TransferStatus::Failed;
    long httpStatus = 0;
    std::string contentType;
    std::string body;
    std::string error; // the network layer's text for Failed
    std::string redirectUrl; // the refused target for Redirected
};

/** The user agent every request carries unless a header line replaces it. */
inline constexpr const char* kUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 5.1; cs; rv:1.9.2.3) Gecko/20100401 Firefox/3.6.3";

/** One blocking request on a handle of its own. TLS follows the scheme, with
 *  certificate checks on; redirects (at most 5) as request.redirects says.
 *  A body shorter than its Content-Length is a failure. */
TransferResult transfer(const TransferRequest& request);

/** True when both URLs name the same scheme, host and port (a missing port
 *  is the scheme's own). */
bool sameOrigin(const std::string& a, const std::string& b);

} // namespace tw::net

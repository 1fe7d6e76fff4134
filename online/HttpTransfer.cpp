// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/HttpTransfer.h"

#include "online/HostPolicy.h"
#include "platform/Text.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>

namespace tw::net {
namespace {

void initOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Context {
    const TransferRequest& request;
    TransferResult& result;
    CURL* handle;
    bool typeChecked = false;
    bool refused = false; // an address was turned away
};

bool typeAccepted(const TransferRequest& request, const char* type)
{
    if (request.requiredTypePrefix.empty())
        return true;
    return type && std::string_view(type).starts_with(request.requiredTypePrefix);
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto& ctx = *static_cast<Context*>(user);
    const size_t bytes = size * count;
    if (ctx.request.redirects == RedirectPolicy::SameOrigin) {
        // The page of a redirect that is followed by hand is not the answer.
        long status = 0;
        curl_easy_getinfo(ctx.handle, CURLINFO_RESPONSE_CODE, &status);
        if (status >= 300 && status <= 399)
            return bytes;
    }
    if (!ctx.typeChecked) {
        // Judged before the body is read, so an error page costs nothing.
        char* type = nullptr;
        curl_easy_getinfo(ctx.handle, CURLINFO_CONTENT_TYPE, &type);
        ctx.typeChecked = true;
        if (!typeAccepted(ctx.request, type)) {
            ctx.result.status = TransferStatus::WrongType;
            return 0;
        }
    }
    if (ctx.result.body.size() + bytes > ctx.request.maxBytes) {
        ctx.result.status = TransferStatus::TooLarge;
        return 0;
    }
    ctx.result.body.append(data, bytes);
    return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto& ctx = *static_cast<Context*>(user);
    return ctx.request.cancel && ctx.request.cancel->load() ? 1 : 0;
}

// Judges the address the name resolved to, just before connecting: a check
// of the host name alone would let a name that resolves to a private address
// (or a redirect to one) through.
curl_socket_t onOpenSocket(void* user, curlsocktype purpose, curl_sockaddr* address)
{
    auto& ctx = *static_cast<Context*>(user);
    if (purpose != CURLSOCKTYPE_IPCXN || !address)
        return CURL_SOCKET_BAD;
    if (ctx.request.publicAddressesOnly && !isPublicAddress(&address->addr)) {
        ctx.refused = true;
        return CURL_SOCKET_BAD;
    }
    return ::socket(address->family, address->socktype, address->protocol);
}

struct HandleDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct ListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};

// Runs the transfer and looks at the cancel flag every 100 ms: on a silent
// line libcurl calls the progress function only about once a second, too
// late for a user who pressed Stop.
CURLcode perform(CURL* h, const std::atomic<bool>* cancel)
{
    if (!cancel)
        return curl_easy_perform(h);
    std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
    if (!multi || curl_multi_add_handle(multi.get(), h) != CURLM_OK)
        return curl_easy_perform(h);
    CURLcode code = CURLE_OK;
    int running = 1;
    while (running) {
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            code = CURLE_FAILED_INIT;
            break;
        }
        if (!running)
            break;
        if (cancel->load()) {
            code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        curl_multi_poll(multi.get(), nullptr, 0, 100, nullptr);
    }
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left))
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == h)
            code = msg->data.result;
    curl_multi_remove_handle(multi.get(), h);
    return code;
}

} // namespace

std::optional<std::string> prepareUrl(const std::string& url)
{
    initOnce();
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    char* scheme = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK)
        return std::nullopt;
    const std::string s = scheme;
    curl_free(scheme);
    if (s != "http" && s != "https")
        return std::nullopt;
    const size_t authority = url.find("://");
    if (authority == std::string::npos)
        return std::nullopt;
    const size_t object = url.find_first_of("/?", authority + 3);
    if (object == std::string::npos)
        return url;
    return url.substr(0, object) + text::replaceAll(url.substr(object), "%26", "&");
}

namespace {

struct Origin {
    std::string scheme, host, port;
    bool operator==(const Origin&) const = default;
};

std::optional<Origin> originOf(const std::string& url)
{
    std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    auto piece = [&](CURLUPart which, unsigned flags) -> std::optional<std::string> {
        char* value = nullptr;
        if (curl_url_get(parsed.get(), which, &value, flags) != CURLUE_OK || !value)
            return std::nullopt;
        std::string out = value;
        curl_free(value);
        for (char& c : out)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return out;
    };
    const auto scheme = piece(CURLUPART_SCHEME, 0);
    const auto host = piece(CURLUPART_HOST, 0);
    const auto port = piece(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host || !port)
        return std::nullopt;
    return Origin{*scheme, *host, *port};
}

// One request to one address, redirects left to the caller when the policy
// is SameOrigin.
CURLcode performOnce(const TransferRequest& request, const std::string& url, const std::string* postBody,
                     std::chrono::milliseconds timeLeft, TransferResult& result, Context& ctx, char* errorText)
{
    CURL* h = ctx.handle;
    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const std::string& line : request.headers)
        if (!line.empty())
            headers.reset(curl_slist_append(headers.release(), line.c_str()));

    const bool follow = request.redirects == RedirectPolicy::HttpAndHttps;
    const auto connectMs = std::min<std::chrono::milliseconds>(request.connectTimeout, timeLeft);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, follow ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max<long long>(1, connectMs.count())));
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<long long>(1, timeLeft.count())));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(request.stallTimeout.count()));
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBytes));
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &ctx);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &ctx);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText);
    if (request.publicAddressesOnly) {
        curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, onOpenSocket);
        curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &ctx);
    }
    if (postBody) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, postBody->data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody->size()));
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    result.status = TransferStatus::Ok;
    result.body.clear();
    ctx.typeChecked = false;
    return perform(h, request.cancel);
}

} // namespace

bool sameOrigin(const std::string& a, const std::string& b)
{
    initOnce();
    const auto first = originOf(a);
    const auto second = originOf(b);
    return first && second && *first == *second;
}

TransferResult transfer(const TransferRequest& request)
{
    initOnce();
    TransferResult result;
    std::optional<std::string> url = prepareUrl(request.url);
    if (url && !request.rawAmpersands)
        url = request.url;
    std::unique_ptr<CURL, HandleDeleter> handle(curl_easy_init());
    if (!url || !handle) {
        result.status = TransferStatus::BadUrl;
        return result;
    }
    CURL* h = handle.get();
    Context ctx{request, result, h};
    char errorText[CURL_ERROR_SIZE] = {};
    const auto end = std::chrono::steady_clock::now() + request.deadline;
    const std::string* postBody = request.postBody ? &*request.postBody : nullptr;

    CURLcode code = CURLE_OK;
    char* type = nullptr;
    for (int hop = 0;; ++hop) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            code = CURLE_OPERATION_TIMEDOUT;
            std::snprintf(errorText, sizeof errorText, "The answer did not arrive within %lld seconds.",
                          static_cast<long long>(request.deadline.count()));
            break;
        }
        code = performOnce(request, *url, postBody, left, result, ctx, errorText);
        type = nullptr;
        curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &type);
        curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.httpStatus);
        if (code == CURLE_OPERATION_TIMEDOUT && std::chrono::steady_clock::now() + std::chrono::milliseconds(100) >= end)
            std::snprintf(errorText, sizeof errorText, "The answer did not arrive within %lld seconds.",
                          static_cast<long long>(request.deadline.count()));
        if (code != CURLE_OK || request.redirects == RedirectPolicy::HttpAndHttps || result.httpStatus < 300 ||
            result.httpStatus > 399)
            break;
        char* target = nullptr;
        curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &target);
        if (!target)
            break; // a 3xx without a place to go is an answer of its own
        const std::string next = target;
        if (hop >= 5 || !sameOrigin(*url, next)) {
            result.status = TransferStatus::Redirected;
            result.redirectUrl = next;
            result.body.clear();
            return result;
        }
        // As browsers do: 307 and 308 repeat the request, the others fetch
        // the new address.
        if (result.httpStatus != 307 && result.httpStatus != 308)
            postBody = nullptr;
        url = next;
        curl_easy_reset(h);
        errorText[0] = '\0';
    }
    result.contentType = type ? type : "";

    if (code == CURLE_OK) {
        if (!ctx.typeChecked && !typeAccepted(request, type))
            result.status = TransferStatus::WrongType;
    } else if (ctx.refused) {
        result.status = TransferStatus::Refused;
    } else if (code == CURLE_WRITE_ERROR && result.status != TransferStatus::Ok) {
        // Our own refusal: the status says which.
    } else if (code == CURLE_FILESIZE_EXCEEDED) {
        result.status = TransferStatus::TooLarge;
    } else if (code == CURLE_ABORTED_BY_CALLBACK) {
        result.status = TransferStatus::Cancelled;
    } else if (code == CURLE_URL_MALFORMAT || code == CURLE_UNSUPPORTED_PROTOCOL) {
        result.status = TransferStatus::BadUrl;
    } else {
        result.status = TransferStatus::Failed;
        result.error = errorText[0] ? errorText : curl_easy_strerror(code);
    }
    if (result.status != TransferStatus::Ok)
        result.body.clear();
    return result;
}

} // namespace tw::net

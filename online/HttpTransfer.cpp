// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/HttpTransfer.h"

#include "online/HostPolicy.h"
#include "platform/Text.h"

#include <curl/curl.h>
#include <sys/socket.h>

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

    std::unique_ptr<curl_slist, ListDeleter> headers;
    for (const std::string& line : request.headers)
        if (!line.empty())
            headers.reset(curl_slist_append(headers.release(), line.c_str()));

    curl_easy_setopt(h, CURLOPT_URL, url->c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, static_cast<long>(request.connectTimeout.count()));
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
    if (request.postBody) {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.postBody->data());
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.postBody->size()));
    }

    result.status = TransferStatus::Ok;
    const CURLcode code = perform(h, request.cancel);
    char* type = nullptr;
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &type);
    if (type)
        result.contentType = type;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.httpStatus);

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

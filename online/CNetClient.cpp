// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/CNetClient.h"

#include "online/HostPolicy.h"
#include "online/ServerText.h"
#include "platform/Notifier.h"
#include "platform/Prompter.h"
#include "platform/Signals.h"
#include "platform/Text.h"

#include <ifaddrs.h>
#include <net/if.h>

namespace tw::net {

bool hasNonLoopbackInterface()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool up = false;
    for (ifaddrs* a = list; a && !up; a = a->ifa_next)
        up = a->ifa_addr && (a->ifa_flags & IFF_UP) && (a->ifa_flags & IFF_RUNNING) && !(a->ifa_flags & IFF_LOOPBACK);
    ::freeifaddrs(list);
    return up;
}

CNetClient::CNetClient(Prompter& prompter, Notifier& notifier)
    : m_prompter(prompter), m_notifier(notifier), m_privateHostsAllowed(privateHostsAllowedByEnvironment()),
      m_probe(hasNonLoopbackInterface)
{
}

CNetClient::~CNetClient()
{
    stopWorker();
}

void CNetClient::setDownloadRoot(std::filesystem::path root)
{
    std::lock_guard lock(m_lock);
    m_downloadRoot = std::move(root);
}

void CNetClient::setConnectionProbe(std::function<bool()> probe)
{
    m_probe = std::move(probe);
}

void CNetClient::setTimeouts(std::chrono::seconds connect, std::chrono::seconds stall, std::chrono::seconds deadline)
{
    m_connectTimeout = connect;
    m_stallTimeout = stall;
    m_deadline = deadline;
}

bool CNetClient::isConnectionUp() const
{
    return m_probe && m_probe();
}

bool CNetClient::connect()
{
    const bool up = isConnectionUp();
    m_connected = up;
    // No tiles or images are fetched until the user switches downloads on.
    if (!up)
        m_downloadsOn = false;
    refreshStatus();
    return up;
}

void CNetClient::refreshStatus()
{
    m_notifier.stateChanged(Topic::Settings);
}

bool CNetClient::request(const std::string& url, TransferRequest& req, std::string& text)
{
    if (!connect())
        return false;
    req.url = url;
    req.maxBytes = kMaxResponseBytes;
    req.connectTimeout = m_connectTimeout;
    req.stallTimeout = m_stallTimeout;
    req.deadline = m_deadline;
    // These requests carry the access token or the user's name.
    req.redirects = RedirectPolicy::SameOrigin;
    // A request that waits for a slow server ends with the program.
    req.cancel = &terminationFlag();
    const TransferResult result = transfer(req);
    switch (result.status) {
    case TransferStatus::Ok:
        if (result.httpStatus < 200 || result.httpStatus > 299) {
            // An error page is no answer, whatever its body holds.
            m_connected = false;
            refreshStatus();
            m_prompter.message(text::fillIn(messages().httpError, {std::to_string(result.httpStatus)}),
                               MessageIcon::Exclamation);
            return false;
        }
        // The body is decoded as a whole: a character split between two
        // reads of the network layer stays one character.
        text = result.body;
        m_connected = false;
        refreshStatus();
        return true;
    case TransferStatus::BadUrl:
        m_prompter.message(messages().openUrl, MessageIcon::Exclamation);
        clearQueue();
        return false;
    case TransferStatus::Redirected:
        m_connected = false;
        refreshStatus();
        m_prompter.message(text::fillIn(messages().redirected, {printableText(result.redirectUrl)}),
                           MessageIcon::Exclamation);
        return false;
    case TransferStatus::TooLarge:
        networkFailed(text::fillIn(messages().tooLarge, {std::to_string(kMaxResponseBytes >> 20)}));
        return false;
    case TransferStatus::Cancelled:
        m_connected = false;
        refreshStatus();
        return false;
    default:
        networkFailed(result.error.empty() ? messages().interrupted : result.error);
        return false;
    }
}

void CNetClient::setMessages(Messages messages)
{
    std::lock_guard lock(m_lock);
    m_messages = std::move(messages);
}

CNetClient::Messages CNetClient::messages() const
{
    std::lock_guard lock(m_lock);
    return m_messages;
}

void CNetClient::showInternetError(const std::string& error)
{
    m_prompter.message(text::fillIn(messages().internetError, {printableText(error)}), MessageIcon::Exclamation);
}

void CNetClient::networkFailed(const std::string& error)
{
    showInternetError(error);
    m_downloadsOn = false;
    clearQueue();
}

bool CNetClient::httpGet(const std::string& url, std::string& text)
{
    TransferRequest req;
    req.headers = {"Content-Type: text/plain; charset=utf-8"};
    return request(url, req, text);
}

bool CNetClient::httpGetEscaped(const std::string& url, std::string& text)
{
    TransferRequest req;
    req.headers = {"Content-Type: text/plain; charset=utf-8"};
    req.rawAmpersands = false;
    return request(url, req, text);
}

bool CNetClient::httpPost(const std::string& url, const std::string& body, std::string& text, int kind)
{
    text.clear();
    TransferRequest req;
    req.headers = {"Accept:text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"};
    if (kind == 0)
        req.headers.emplace_back("Content-Type: application/x-www-form-urlencoded");
    else if (kind == 1)
        req.headers.emplace_back("Content-Type: text/xml");
    else
        // Without this the network layer would add a form content type itself.
        req.headers.emplace_back("Content-Type:");
    req.postBody = body;
    return request(url, req, text);
}

std::string CNetClient::urlEncode(std::string_view text)
{
    static constexpr std::string_view kReserved = "\"<>%\\^[]`+$,@:;/!#?=&";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    // Every byte of a multi-byte character is escaped on its own, which is
    // how servers read UTF-8 in a query.
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 33 && c <= 122 && kReserved.find(ch) == std::string_view::npos) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

} // namespace tw::net

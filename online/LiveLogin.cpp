// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/LiveLogin.h"

#include "online/CNetClient.h"
#include "platform/IniFile.h"

#include <openssl/evp.h>

#include <cctype>
#include <cstdlib>

namespace tw::net {

std::string serviceEndpoint(const char* envName, const std::string& setting)
{
    if (const char* env = std::getenv(envName); env && *env)
        return env;
    return setting;
}

std::string relayEndpoint(const std::string& setting)
{
    std::string url = serviceEndpoint("TARNWICK_RELAY_URL", setting);
    if (!url.empty() && url.back() != '/')
        url += '/';
    return url;
}

std::string ticketSignature(const std::string& ticket)
{
    const std::string input = ticket + kAppSecret;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(input.data(), input.size(), digest, &length, EVP_md5(), nullptr) != 1)
        return {};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0xF];
    }
    return out;
}

bool writeHandoverTicket(const std::filesystem::path& file, const std::string& ticket,
                         const std::string& signature)
{
    // The file is only ever written through a temporary file made 0600.
    IniFile handover(file, 0600);
    handover.setString(kHandoverSection, "twa", ticket);
    handover.setString(kHandoverSection, "twb", signature);
    return handover.save();
}

std::optional<std::string> readStoredToken(const std::filesystem::path& file)
{
    const IniFile handover(file, 0600);
    const auto stored = handover.getString(kHandoverSection, "twtk");
    if (!stored)
        return std::nullopt;
    if (stored->size() > kMaxTokenChars)
        return std::string();
    return *stored;
}

bool isTicket(std::string_view text)
{
    // The ticket is opaque, but it travels in a query and in one line of the
    // hand-over file: letters, digits and "-._~" only.
    if (text.empty() || text.size() > kMaxTicketChars)
        return false;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.' && c != '_' && c != '~')
            return false;
    return true;
}

LoginTicket prepareLogin(CNetClient& client, const std::string& relay, const std::filesystem::path& handover)
{
    LoginTicket login;
    std::string body;
    // An error status fails the request itself; an error page sent as 200
    // or an empty answer is no ticket either.
    if (!relay.empty() && client.httpGet(relay + "init.php", body)) {
        while (!body.empty() && (body.back() == '\n' || body.back() == '\r' || body.back() == ' '))
            body.pop_back();
        if (isTicket(body))
            login.ticket = body;
    }
    login.signature = ticketSignature(login.ticket);
    login.written = writeHandoverTicket(handover, login.ticket, login.signature);
    return login;
}

} // namespace tw::net

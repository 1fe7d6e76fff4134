// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/VersionCheck.h"

#include "online/CNetClient.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace tw::net {

std::optional<std::array<int, 4>> parseVersion(std::string_view text)
{
    std::array<int, 4> parts{};
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
            ++pos;
        if (pos < text.size() && text[pos] == '+')
            ++pos;
        const char* begin = text.data() + pos;
        const auto [end, ec] = std::from_chars(begin, text.data() + text.size(), parts[static_cast<std::size_t>(i)]);
        if (ec != std::errc() || end == begin)
            return std::nullopt;
        pos = static_cast<std::size_t>(end - text.data());
    }
    return parts;
}

bool isAnnouncedAsNewer(std::string_view available, std::string_view program)
{
    const auto a = parseVersion(available);
    const auto p = parseVersion(program);
    if (!a || !p)
        return false;
    for (std::size_t i = 0; i < 4; ++i)
        if ((*a)[i] > (*p)[i])
            return true;
    return false;
}

std::string updateEndpoint()
{
    const char* url = std::getenv("TARNWICK_UPDATE_URL");
    return url ? url : "";
}

std::optional<std::string> checkVersion(CNetClient& client, const std::string& endpoint, bool interactive,
                                        bool downloadsOn, const std::string& nickname, const std::string& language,
                                        const std::string& programVersion, VersionCheckState& state)
{
    if (!endpoint.empty() && ((interactive && downloadsOn) || (!interactive && !state.ran))
        && client.isConnectionUp()) {
        state.ran = true;
        // The values are escaped: a nickname with "&" must not add a field.
        const std::string form = "nick=" + CNetClient::urlEncode(nickname) + "&ver="
                                 + CNetClient::urlEncode(programVersion) + "&lang=" + CNetClient::urlEncode(language);
        std::string reply;
        if (client.httpPost(endpoint, form, reply, 0)) {
            // A bare version text; blanks and line ends around it do not count.
            const auto first = reply.find_first_not_of(" \t\r\n");
            const auto last = reply.find_last_not_of(" \t\r\n");
            state.availVersion = first == std::string::npos ? std::string() : reply.substr(first, last - first + 1);
        }
    }
    if (state.availVersion == state.anVersion)
        return std::nullopt;
    if (interactive && isAnnouncedAsNewer(state.availVersion, programVersion)) {
        state.anVersion = state.availVersion;
        return state.availVersion;
    }
    return std::nullopt;
}

} // namespace tw::net

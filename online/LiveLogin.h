// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tw::net {

class CNetClient;

/** The section of handover.ini, the file through which the main program and
 *  the login browser exchange the ticket and the token. */
inline constexpr const char* kHandoverSection = "{994508FA-A8C5-C598-EE87-E8D97154F574}";
/** Known to the relay as well; signs the relay's tickets. */
inline constexpr const char* kAppSecret = "5D0C9E27A4B31F86C2E7054D9A1B3F60";
/** The longest stored token that reads back. */
inline constexpr std::size_t kMaxTokenChars = 49;

/** An address chosen by the environment variable envName when it is set,
 *  else by the setting (empty: the service is not set up). */
std::string serviceEndpoint(const char* envName, const std::string& setting);
/** The relay's folder: TARNWICK_RELAY_URL or the RelayUrl setting, ending in "/". */
std::string relayEndpoint(const std::string& setting);

/** Upper-case hexadecimal MD5 of the ticket followed by the application
 *  secret, both as UTF-8: 32 digits. */
std::string ticketSignature(const std::string& ticket);

/** Writes twa = ticket and twb = signature into the hand-over file, which is
 *  created with mode 0600 before anything is in it. False when it cannot be
 *  written. */
bool writeHandoverTicket(const std::filesystem::path& file, const std::string& ticket,
                         const std::string& signature);

/** The token as stored (still scrambled: transformSecret undoes that).
 *  Nothing when the file or the value is missing; empty when the stored text
 *  is longer than kMaxTokenChars. */
std::optional<std::string> readStoredToken(const std::filesystem::path& file);

/** The longest ticket taken from the relay. */
inline constexpr std::size_t kMaxTicketChars = 128;

/** True for a text the relay may have meant as a ticket: 1 to
 *  kMaxTicketChars letters, digits or "-._~" (an error page is none). */
bool isTicket(std::string_view text);

/** What starting a login did. */
struct LoginTicket {
    std::string ticket;       // empty when the relay did not answer
    std::string signature;
    bool written = false;     // the hand-over file holds both
};

/** Asks the relay for a ticket (GET <relay>init.php), signs it and leaves
 *  both in the hand-over file for the login browser. Without a ticket (no
 *  answer, an error status, an answer that is no ticket) an empty one is
 *  written, so that no old ticket is used. With no relay set up
 *  nothing is asked and the ticket stays empty; the signature is written all
 *  the same, and the sign-in page then refuses it. */
LoginTicket prepareLogin(CNetClient& client, const std::string& relay, const std::filesystem::path& handover);

} // namespace tw::net

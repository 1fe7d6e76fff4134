// SPDX-License-Identifier: GPL-3.0-or-later
#include "online/HostPolicy.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tw::net {
namespace {

// host-order IPv4 address
bool isPublicV4(std::uint32_t a)
{
    const auto in = [a](std::uint32_t net, int bits) { return (a >> (32 - bits)) == (net >> (32 - bits)); };
    return !(in(0x00000000, 8)       // "this" network, 0.0.0.0
             || in(0x0A000000, 8)    // 10/8
             || in(0x64400000, 10)   // 100.64/10, carrier-grade NAT
             || in(0x7F000000, 8)    // loopback
             || in(0xA9FE0000, 16)   // link-local
             || in(0xAC100000, 12)   // 172.16/12
             || in(0xC0000000, 24)   // IETF protocol assignments
             || in(0xC0A80000, 16)   // 192.168/16
             || in(0xC6120000, 15)   // benchmarking
             || in(0xE0000000, 4)    // multicast
             || in(0xF0000000, 4));  // reserved and broadcast
}

} // namespace

bool isPublicAddress(const sockaddr* address)
{
    if (!address)
        return false;
    if (address->sa_family == AF_INET) {
        sockaddr_in v4;
        std::memcpy(&v4, address, sizeof v4);
        return isPublicV4(ntohl(v4.sin_addr.s_addr));
    }
    if (address->sa_family != AF_INET6)
        return false;
    sockaddr_in6 v6;
    std::memcpy(&v6, address, sizeof v6);
    const unsigned char* b = v6.sin6_addr.s6_addr;
    static constexpr unsigned char kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(b, kMapped, sizeof kMapped) == 0)
        return isPublicV4((std::uint32_t(b[12]) << 24) | (std::uint32_t(b[13]) << 16) | (std::uint32_t(b[14]) << 8) |
                          b[15]);
    if (IN6_IS_ADDR_UNSPECIFIED(&v6.sin6_addr) || IN6_IS_ADDR_LOOPBACK(&v6.sin6_addr) ||
        IN6_IS_ADDR_LINKLOCAL(&v6.sin6_addr) || IN6_IS_ADDR_SITELOCAL(&v6.sin6_addr) ||
        IN6_IS_ADDR_MULTICAST(&v6.sin6_addr) || IN6_IS_ADDR_V4COMPAT(&v6.sin6_addr))
        return false;
    return (b[0] & 0xfe) != 0xfc; // unique local fc00::/7
}

bool privateHostsAllowedByEnvironment()
{
    const char* value = std::getenv("TARNWICK_ALLOW_PRIVATE_HOSTS");
    return value && std::string_view(value) == "1";
}

} // namespace tw::net

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct sockaddr;

namespace tw::net {

/** True for an address anyone on the Internet could reach: not loopback,
 *  private (10/8, 172.16/12, 192.168/16, fc00::/7), shared (100.64/10),
 *  link-local (169.254/16, fe80::/10), unspecified, multicast or broadcast.
 *  IPv4 addresses mapped into IPv6 are judged as IPv4. Other families are
 *  never public. */
bool isPublicAddress(const sockaddr* address);

/** TARNWICK_ALLOW_PRIVATE_HOSTS=1 lets listing images come from addresses
 *  that are not public (a local test server, a home network). */
bool privateHostsAllowedByEnvironment();

} // namespace tw::net

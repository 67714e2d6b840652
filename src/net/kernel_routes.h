#pragma once
// What the kernel's routing tables say about where this computer can send
// packets, asked through rtnetlink (RTM_GETROUTE). Nothing is sent on the
// network: the kernel answers from its tables.
//
//     if (!HasRouteTo(*SocketAddress::FromText("203.0.113.5"))) ...offline...

#include "common/socket_address.h"

namespace corvasse {

// Whether the kernel would send a packet to address: it has a route there
// (the loopback and this computer's own addresses included), not an
// unreachable, prohibit or blackhole one, through an interface that has its
// link. When the kernel cannot be asked, true: not knowing is no reason to
// think the computer offline.
bool HasRouteTo(const SocketAddress& address);

// Whether the kernel has a route, in the family (AF_INET or AF_INET6), to
// some address outside this computer: a unicast route through an interface
// other than the loopback whose link is up, IPv6 link-local routes (which
// every interface has) left out. True when the kernel cannot be asked.
bool HasRouteOutside(int family);

}  // namespace corvasse

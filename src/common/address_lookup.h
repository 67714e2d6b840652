#pragma once
// Looks up the addresses of a host for the socket calls: a literal stands
// for itself, "localhost" for the loopback addresses, any other name goes to
// the resolver (getaddrinfo, so /etc/hosts, DNS and the order of RFC 6724).

#include <string>
#include <vector>

#include "common/address_family.h"
#include "common/socket_address.h"

namespace corvasse {

struct AddressLookup {
    // In the order the resolver prefers them, each address once.
    std::vector<SocketAddress> addresses;
    // The Winsock number of a failed lookup (11001 for an unknown name, 11004
    // for a name without an address of the family); 0 when it succeeded.
    int errorCode = 0;
};

// The addresses of host that belong to the family. An IPv6 literal may stand
// in brackets ("[::1]"). "localhost" in any letter case is ::1 and 127.0.0.1
// (the one of them that the family allows) without asking the resolver, so
// that it never depends on what a hosts file says about it. In a job of a
// FiberPool (common/fiber_pool.h) the resolver runs on a thread of its own
// while the job waits; the process abort or the job's abort signal ends that
// wait with AbortedError (common/process_abort.h).
AddressLookup LookupAddresses(const std::string& host, AddressFamily family);

}  // namespace corvasse

#include "common/address_lookup.h"

#include <algorithm>

#include <netdb.h>
#include <netinet/in.h>

#include "common/byte_string.h"
#include "common/socket_error_code.h"

namespace corvasse {

namespace {

int SystemFamily(AddressFamily family) {
    switch (family) {
        case AddressFamily::IPv4: return AF_INET;
        case AddressFamily::IPv6: return AF_INET6;
        case AddressFamily::Any: break;
    }
    return AF_UNSPEC;
}

AddressLookup Loopback(AddressFamily family) {
    AddressLookup lookup;
    if (family != AddressFamily::IPv4) lookup.addresses.push_back(*SocketAddress::FromText("::1"));
    if (family != AddressFamily::IPv6) lookup.addresses.push_back(*SocketAddress::FromText("127.0.0.1"));
    return lookup;
}

}  // namespace

AddressLookup LookupAddresses(const std::string& host, AddressFamily family) {
    // A NUL would cut the name short and look up another one.
    if (host.find('\0') != std::string::npos) return {{}, kHostNotFound};
    if (EqualsNoCase(host, "localhost")) return Loopback(family);
    const std::string name = IPv6Literal(host).value_or(host);

    addrinfo hints{};
    hints.ai_family = SystemFamily(family);
    hints.ai_socktype = SOCK_STREAM;  // one entry per address
    addrinfo* found = nullptr;
    const int result = getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (result != 0) return {{}, SocketErrorFromLookup(result)};
    AddressLookup lookup;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        const SocketAddress address(entry->ai_addr, entry->ai_addrlen);
        const bool seen = std::any_of(lookup.addresses.begin(), lookup.addresses.end(),
                                      [&](const SocketAddress& known) { return known.Text() == address.Text(); });
        if (address.Family() != AF_UNSPEC && !seen) lookup.addresses.push_back(address);
    }
    freeaddrinfo(found);
    if (lookup.addresses.empty()) lookup.errorCode = kNoAddress;
    return lookup;
}

}  // namespace corvasse

#pragma once
// Which address family a connection (or a ping) may use: any that the name
// has, or only one of the two.

namespace corvasse {

enum class AddressFamily {
    Any,   // IPv4 and IPv6, in the order the resolver prefers
    IPv4,  // IPv4 only
    IPv6,  // IPv6 only
};

}  // namespace corvasse

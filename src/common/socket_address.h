#pragma once
// An IPv4 or IPv6 address with a port, as the socket calls take it, and the
// two texts that carry an address elsewhere: the bare numeric text
// ("192.0.2.1", "2001:db8::1", "fe80::1%eth0") between the layers, and the
// text messages show, with an IPv6 address in brackets ("[2001:db8::1]").
//
//     std::optional<SocketAddress> peer = SocketAddress::FromText("::1", 443);
//     connect(fd, peer->Get(), peer->Length());

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <sys/socket.h>

namespace corvasse {

class SocketAddress {
public:
    // Holds no address (family AF_UNSPEC).
    SocketAddress() = default;
    // What a socket call filled in (getaddrinfo, recvfrom, getpeername); only
    // an IPv4 or IPv6 address is kept, anything else leaves it empty.
    SocketAddress(const sockaddr* address, socklen_t length);

    // A numeric address text: an IPv4 dotted quad, or an IPv6 address
    // without brackets and with an optional zone ("fe80::1%lo"). Nothing for
    // any other text.
    static std::optional<SocketAddress> FromText(const std::string& text, uint16_t port = 0);
    // The any address ("0.0.0.0", "::") of AF_INET or AF_INET6.
    static SocketAddress Any(int family, uint16_t port = 0);

    // AF_INET, AF_INET6, or AF_UNSPEC when empty.
    int Family() const { return storage_.ss_family; }
    uint16_t Port() const;
    void SetPort(uint16_t port);
    // The numeric text, without brackets; empty when empty.
    std::string Text() const;

    const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&storage_); }
    sockaddr* Get() { return reinterpret_cast<sockaddr*>(&storage_); }
    socklen_t Length() const { return length_; }

private:
    sockaddr_storage storage_{};
    socklen_t length_ = 0;
};

// The address an IPv6 literal names, bare or in brackets: "::1" for both
// "::1" and "[::1]". Nothing for any other text.
std::optional<std::string> IPv6Literal(std::string_view host);

// An address as messages show it: an IPv6 address in brackets
// ("[2001:db8::1]"), any other text (one already in brackets too) as it is.
std::string AddressForDisplay(std::string_view address);

}  // namespace corvasse

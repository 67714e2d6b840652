#include "common/socket_address.h"

#include <cstring>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>

namespace corvasse {

SocketAddress::SocketAddress(const sockaddr* address, socklen_t length) {
    const bool inet = address->sa_family == AF_INET && length >= static_cast<socklen_t>(sizeof(sockaddr_in));
    const bool inet6 = address->sa_family == AF_INET6 && length >= static_cast<socklen_t>(sizeof(sockaddr_in6));
    if (!inet && !inet6) return;
    length_ = inet ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    std::memcpy(&storage_, address, length_);
}

std::optional<SocketAddress> SocketAddress::FromText(const std::string& text, uint16_t port) {
    // getaddrinfo, unlike inet_pton, also takes an IPv6 zone; for IPv4 it
    // would take the shorter forms ("127.1") as well, which inet_pton refuses.
    in_addr inet{};
    if (inet_pton(AF_INET, text.c_str(), &inet) == 1) {
        SocketAddress address = Any(AF_INET, port);
        reinterpret_cast<sockaddr_in*>(address.Get())->sin_addr = inet;
        return address;
    }
    if (text.find(':') == std::string::npos || text.find('\0') != std::string::npos) return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_INET6;
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (getaddrinfo(text.c_str(), nullptr, &hints, &found) != 0) return std::nullopt;
    SocketAddress address(found->ai_addr, found->ai_addrlen);
    freeaddrinfo(found);
    address.SetPort(port);
    return address;
}

SocketAddress SocketAddress::Any(int family, uint16_t port) {
    SocketAddress address;
    address.storage_.ss_family = static_cast<sa_family_t>(family);
    address.length_ = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    address.SetPort(port);
    return address;
}

uint16_t SocketAddress::Port() const {
    if (Family() == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in*>(&storage_)->sin_port);
    if (Family() == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage_)->sin6_port);
    return 0;
}

void SocketAddress::SetPort(uint16_t port) {
    if (Family() == AF_INET) reinterpret_cast<sockaddr_in*>(&storage_)->sin_port = htons(port);
    if (Family() == AF_INET6) reinterpret_cast<sockaddr_in6*>(&storage_)->sin6_port = htons(port);
}

std::string SocketAddress::Text() const {
    if (length_ == 0) return {};
    char text[NI_MAXHOST] = {};
    if (getnameinfo(Get(), length_, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0) return {};
    return text;
}

std::optional<std::string> IPv6Literal(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string bare(host);
    const std::optional<SocketAddress> address = SocketAddress::FromText(bare);
    if (!address || address->Family() != AF_INET6) return std::nullopt;
    return bare;
}

std::string AddressForDisplay(std::string_view address) {
    if (address.find(':') == std::string_view::npos || address.front() == '[') return std::string(address);
    return "[" + std::string(address) + "]";
}

}  // namespace corvasse

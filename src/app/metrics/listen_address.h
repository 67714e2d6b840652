#pragma once
// Where the service listens for scrapes: "HOST:PORT", an IPv6 host in
// brackets ("127.0.0.1:9477", "[::1]:9477", "localhost:9477").

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvasse {

struct ListenAddress {
    // Without brackets.
    std::string host;
    uint16_t port = 0;
};

// Nothing unless the text is a host (an IPv6 one in brackets) and a port
// from 1 to 65535.
std::optional<ListenAddress> ParseListenAddress(std::string_view text);

// "127.0.0.1:9477", "[::1]:9477"
std::string ListenAddressText(const ListenAddress& address);

}  // namespace corvasse

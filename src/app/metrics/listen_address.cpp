#include "app/metrics/listen_address.h"

#include <charconv>

namespace corvasse {

std::optional<ListenAddress> ParseListenAddress(std::string_view text) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view host = text.substr(0, colon);
    const std::string_view port = text.substr(colon + 1);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of("[]:") != std::string_view::npos) {
        // An IPv6 address goes in brackets, so that its port cannot be mistaken.
        return std::nullopt;
    }
    unsigned value = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (host.empty() || port.empty() || error != std::errc() || end != port.data() + port.size() || value == 0 ||
        value > 65535) {
        return std::nullopt;
    }
    return ListenAddress{std::string(host), static_cast<uint16_t>(value)};
}

std::string ListenAddressText(const ListenAddress& address) {
    const bool ipv6 = address.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

}  // namespace corvasse

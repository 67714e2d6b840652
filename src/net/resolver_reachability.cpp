#include "net/resolver_reachability.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <netinet/in.h>

#include "common/socket_address.h"
#include "net/kernel_routes.h"

namespace corvasse {

namespace {

bool IsLoopback(const SocketAddress& address) {
    if (address.Family() == AF_INET) {
        const uint32_t ip = ntohl(reinterpret_cast<const sockaddr_in*>(address.Get())->sin_addr.s_addr);
        return (ip >> 24) == 127;
    }
    return address.Family() == AF_INET6 &&
           IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(address.Get())->sin6_addr);
}

std::vector<SocketAddress> NameServers(const std::filesystem::path& resolverConfig) {
    std::vector<SocketAddress> servers;
    std::ifstream file(resolverConfig);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string keyword;
        std::string address;
        if (!(words >> keyword >> address) || keyword != "nameserver") continue;
        if (const std::optional<SocketAddress> server = SocketAddress::FromText(address)) servers.push_back(*server);
    }
    return servers;
}

}  // namespace

bool ResolverReachable(const std::filesystem::path& resolverConfig) {
    const std::vector<SocketAddress> servers = NameServers(resolverConfig);
    if (servers.empty()) return true;
    for (const SocketAddress& server : servers) {
        if (IsLoopback(server) || HasRouteTo(server)) return true;
    }
    return false;
}

}  // namespace corvasse

#include "app/offline/system_network_probes.h"

#include <sys/socket.h>

#include "common/socket_error_code.h"
#include "net/kernel_routes.h"
#include "net/net_error.h"
#include "net/resolver_reachability.h"
#include "net/tcp_client.h"
#include "ping/ping_error.h"
#include "ping/pinger.h"

namespace corvasse {

SystemNetworkProbes::SystemNetworkProbes(ReferenceProbe probe) : probe_(probe) {}

bool SystemNetworkProbes::HasRouteTo(const SocketAddress& address) { return corvasse::HasRouteTo(address); }

bool SystemNetworkProbes::HasNetwork() { return HasRouteOutside(AF_INET) || HasRouteOutside(AF_INET6); }

bool SystemNetworkProbes::ResolverReachable() { return corvasse::ResolverReachable(); }

bool SystemNetworkProbes::Reaches(const std::string& referenceHost) {
    if (probe_ == ReferenceProbe::Ping) {
        Pinger pinger;
        pinger.Timeout = kReferenceTimeout;
        try {
            pinger.PingHost(referenceHost);
            return true;
        } catch (const PingError&) {
            return false;
        }
    }
    TcpClient client;
    client.Host = referenceHost;
    client.Port = kReferencePort;
    try {
        client.Connect(Wait::For(kReferenceTimeout));
        client.Disconnect();
        return true;
    } catch (const SocketError& error) {
        return error.Code() == kConnectionRefused;
    } catch (const NetError&) {
        return false;
    }
}

}  // namespace corvasse

#pragma once
// What the offline decision (app/offline/offline_reason.h) asks about this
// computer's network. SystemNetworkProbes asks the kernel and the network.

#include <string>

#include "common/socket_address.h"

namespace corvasse {

class NetworkProbes {
public:
    virtual ~NetworkProbes() = default;
    // The kernel has a route to the address.
    virtual bool HasRouteTo(const SocketAddress& address) = 0;
    // The kernel has a route outside this computer in either family.
    virtual bool HasNetwork() = 0;
    // A name server of the resolver's could be reached.
    virtual bool ResolverReachable() = 0;
    // The reference host answers (a connect, or a ping).
    virtual bool Reaches(const std::string& referenceHost) = 0;
};

}  // namespace corvasse

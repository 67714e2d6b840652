#pragma once
// The network probes of the offline decision as this computer answers them:
// the kernel's routes (net/kernel_routes.h), the resolver's name servers
// (net/resolver_reachability.h), and for the reference host one TCP connect
// to port 443 or one ping.

#include <chrono>
#include <string>

#include "app/offline/network_probes.h"

namespace corvasse {

// How the reference host is tried: a web watch connects, a ping watch pings.
enum class ReferenceProbe { Connect, Ping };

inline constexpr int kReferencePort = 443;
// How long the reference's connect or ping may take.
inline constexpr std::chrono::seconds kReferenceTimeout{10};

class SystemNetworkProbes : public NetworkProbes {
public:
    explicit SystemNetworkProbes(ReferenceProbe probe);

    bool HasRouteTo(const SocketAddress& address) override;
    bool HasNetwork() override;
    bool ResolverReachable() override;
    // A connect that is accepted or refused (the refusal came from the
    // host, so the network carried it), or a ping that is answered. Throws
    // AbortedError when the watch is cut meanwhile.
    bool Reaches(const std::string& referenceHost) override;

private:
    ReferenceProbe probe_;
};

}  // namespace corvasse

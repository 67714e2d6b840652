#include "app/offline/offline_reason.h"

#include <algorithm>

#include "app/offline/network_probes.h"

namespace corvasse {

std::optional<std::string> OfflineReason(const AddressLookup& site, const std::string& referenceHost,
                                         NetworkProbes& probes) {
    if (!site.addresses.empty()) {
        const bool routed = std::any_of(site.addresses.begin(), site.addresses.end(),
                                        [&](const SocketAddress& address) { return probes.HasRouteTo(address); });
        if (!routed) return "no route to " + AddressForDisplay(site.addresses.front().Text());
    } else if (!probes.HasNetwork() && !probes.ResolverReachable()) {
        return "name look-up failed and no network";
    }
    if (!referenceHost.empty() && !probes.Reaches(referenceHost)) return "reference " + referenceHost + " unreachable";
    return std::nullopt;
}

}  // namespace corvasse

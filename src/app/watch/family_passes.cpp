#include "app/watch/family_passes.h"

#include <netinet/in.h>

#include <algorithm>
#include <utility>

namespace corvasse {

FamilyPlan PlanFamilies(const AddressLookup& lookup) {
    FamilyPlan plan;
    if (lookup.addresses.empty()) return plan;
    for (const auto& [family, systemFamily] :
         {std::pair{AddressFamily::IPv4, AF_INET}, {AddressFamily::IPv6, AF_INET6}}) {
        FamilyPass pass{family, {}};
        for (const SocketAddress& address : lookup.addresses) {
            if (address.Family() == systemFamily) pass.lookup.addresses.push_back(address);
        }
        if (pass.lookup.addresses.empty()) {
            plan.skipped.push_back(family);
        } else {
            plan.passes.push_back(pass);
        }
    }
    return plan;
}

std::string FamilyName(AddressFamily family) {
    switch (family) {
        case AddressFamily::IPv4: return "IPv4";
        case AddressFamily::IPv6: return "IPv6";
        case AddressFamily::Any: break;
    }
    return "IPv4 or IPv6";
}

std::string FamilyFailureText(AddressFamily family, const std::string& address, const std::string& failure) {
    return "Over " + FamilyName(family) + (address.empty() ? "" : " " + address) + ": " + failure;
}

std::string SkippedFamilyText(const std::string& host, AddressFamily skipped) {
    const AddressFamily other = skipped == AddressFamily::IPv4 ? AddressFamily::IPv6 : AddressFamily::IPv4;
    return host + " has no " + FamilyName(skipped) + " address: it is watched over " + FamilyName(other) + " only.";
}

WatchResult CombinedResult(const std::vector<WatchResult>& results) {
    auto first = [&](ResultState state) {
        return std::find_if(results.begin(), results.end(), [&](const WatchResult& r) { return r.state == state; });
    };
    if (first(ResultState::Down) != results.end()) {
        WatchResult down{results.front().time, ResultState::Down, std::nullopt, std::nullopt, ""};
        for (const WatchResult& result : results) {
            if (result.state != ResultState::Down) continue;
            down.reason += (down.reason.empty() ? "" : "; ") + result.reason;
        }
        return down;
    }
    const auto up = first(ResultState::Up);
    WatchResult combined = up != results.end() ? *up : results.front();
    combined.time = results.front().time;
    return combined;
}

}  // namespace corvasse

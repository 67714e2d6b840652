#include "app/family_passes.h"

#include <netinet/in.h>

#include "common/byte_string.h"

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
    std::string text = "Over " + FamilyName(family) + (address.empty() ? "" : " " + address) + ": ";
    const std::string trimmed = Trim(failure);
    for (size_t i = 0; i < trimmed.size(); ++i) {
        if (trimmed[i] == '\r' && i + 1 < trimmed.size() && trimmed[i + 1] == '\n') continue;
        text += trimmed[i] == '\r' || trimmed[i] == '\n' ? ' ' : trimmed[i];
    }
    return text;
}

std::string SkippedFamilyText(const std::string& host, AddressFamily skipped) {
    const AddressFamily other = skipped == AddressFamily::IPv4 ? AddressFamily::IPv6 : AddressFamily::IPv4;
    return host + " has no " + FamilyName(skipped) + " address: it is watched over " + FamilyName(other) + " only.";
}

}  // namespace corvasse

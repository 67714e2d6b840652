#pragma once
// Watching a host over each address family separately ("ipFamily=each"):
// which families it is watched over, and the lines that say how a family
// fared.

#include <string>
#include <vector>

#include "common/address_family.h"
#include "common/address_lookup.h"
#include "core/history_records.h"

namespace corvasse {

// One family the host is watched over, with its addresses of that family
// in the resolver's order.
struct FamilyPass {
    AddressFamily family;
    AddressLookup lookup;
};

struct FamilyPlan {
    // IPv4 first, then IPv6; empty when the name could not be looked up
    // (the watch then goes over any family and fails as it would).
    std::vector<FamilyPass> passes;
    // The families the name has no address of.
    std::vector<AddressFamily> skipped;
};

// Splits a lookup of both families.
FamilyPlan PlanFamilies(const AddressLookup& lookup);

// "IPv4" or "IPv6" (any family: "IPv4 or IPv6").
std::string FamilyName(AddressFamily family);

// "Over IPv6 [2001:db8::1]:443: Socket Error # 10060 Connection timed out.":
// where the watch failed and why (FailureReason); without the address when
// it is empty.
std::string FamilyFailureText(AddressFamily family, const std::string& address, const std::string& failure);

// "example.org has no IPv6 address: it is watched over IPv4 only."
std::string SkippedFamilyText(const std::string& host, AddressFamily skipped);

// The result of a watch made of the results over each family (at least
// one): down when any was, its reason theirs joined by "; "; otherwise up
// when any was, with the first such one's response time and size; unknown
// (this computer offline) when every one was, with the first one's reason.
WatchResult CombinedResult(const std::vector<WatchResult>& results);

}  // namespace corvasse

#pragma once
// Whether a failed watch is this computer's fault rather than the site's:
// it could not have reached the site at all. The REASON of the pane's
// "Offline (REASON): this watch is not counted", or nothing when the
// failure counts.

#include <optional>
#include <string>

#include "common/address_lookup.h"

namespace corvasse {

class NetworkProbes;

// site: the lookup of the watched host in the family the watch used;
// referenceHost: empty for none. In this order:
//   - the name was found, and no address of it has a route:
//     "no route to 203.0.113.5" (the first address; an IPv6 one in brackets);
//   - the name was not found, there is no route outside this computer in
//     either family and no name server can be reached:
//     "name look-up failed and no network";
//   - the reference host does not answer either: "reference HOST unreachable".
std::optional<std::string> OfflineReason(const AddressLookup& site, const std::string& referenceHost,
                                         NetworkProbes& probes);

}  // namespace corvasse

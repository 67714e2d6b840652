#include "ping/ping_error.h"

#include <iterator>

namespace corvasse {

namespace {

constexpr const char* kUnreachableTexts[] = {
    "Network unreachable.",
    "Host unreachable.",
    "Protocol unreachable.",
    "Port unreachable.",
    "Fragmentation needed and DF is set.",
    "Source route failed.",
    "Destination network down.",
    "Destination host unknown.",
    "Source host isolated.",
    "Communication with destination network administratively prohibited.",
    "Communication with destination host administratively prohibited.",
    "Network unreachable for this type of service.",
    "Host unreachable for this type of service.",
};

// The ICMP code that means what each ICMPv6 code of RFC 4443 means: no
// route, administratively prohibited, beyond the scope of the source address
// and address unreachable (both: the host cannot be reached), port
// unreachable, refused by an ingress or egress policy, a reject route.
constexpr int kIcmpCodeOfIcmpv6Code[] = {0, 10, 1, 1, 3, 10, 9};

}  // namespace

CodedError::CodedError(int code, const std::string& description)
    : std::runtime_error(std::to_string(code) + ": " + description), Code(code), Description(description) {}

std::string UnreachableDescription(int code, IcmpVersion version) {
    int meaning = code;
    if (version == IcmpVersion::V6) {
        const bool known = code >= 0 && code < static_cast<int>(std::size(kIcmpCodeOfIcmpv6Code));
        meaning = known ? kIcmpCodeOfIcmpv6Code[code] : -1;
    }
    if (meaning >= 0 && meaning < static_cast<int>(std::size(kUnreachableTexts))) {
        return kUnreachableTexts[meaning];
    }
    return "Destination unreachable: " + std::to_string(code) + ".";
}

}  // namespace corvasse

#pragma once
// Errors of the ping component: a numeric code with a description.

#include <stdexcept>
#include <string>

#include "ping/echo_request.h"

namespace corvasse {

// An error with a numeric code; its message is the decimal code, ": " and the
// description ("301: Timeout.").
class CodedError : public std::runtime_error {
public:
    CodedError(int code, const std::string& description);
    int Code;
    std::string Description;
};

// Raised by Pinger::PingHost for every failed ping.
class PingError : public CodedError {
public:
    using CodedError::CodedError;
};

// Description of a destination-unreachable answer with the given ICMP code
// ("Host unreachable." for 1, "Destination unreachable: 14." beyond 12). An
// ICMPv6 code reads as the ICMP code of the same meaning ("Port
// unreachable." for 4); one without such a code as "Destination
// unreachable: %d." with its own number.
std::string UnreachableDescription(int code, IcmpVersion version = IcmpVersion::V4);

}  // namespace corvasse

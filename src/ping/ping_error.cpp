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

}  // namespace

CodedError::CodedError(int code, const std::string& description)
    : std::runtime_error(std::to_string(code) + ": " + description), Code(code), Description(description) {}

std::string UnreachableDescription(int code) {
    if (code >= 0 && code < static_cast<int>(std::size(kUnreachableTexts))) {
        return kUnreachableTexts[code];
    }
    return "Destination unreachable: " + std::to_string(code) + ".";
}

}  // namespace corvasse

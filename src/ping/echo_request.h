#pragma once
// The ICMP echo request that Pinger sends, and the sizes that bound it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvasse {

// Type, code and checksum in front of the data.
constexpr size_t kIcmpHeaderBytes = 4;
// The request identifier fills the echo's identifier and sequence fields.
constexpr size_t kRequestIdBytes = 4;
// Smallest message: the header and the request identifier.
constexpr size_t kMinEchoBytes = kIcmpHeaderBytes + kRequestIdBytes;
// Largest data behind the header, and so the largest message either way.
constexpr size_t kMaxMessageDataBytes = 2048;
constexpr size_t kMaxMessageBytes = kIcmpHeaderBytes + kMaxMessageDataBytes;
// What pads the echo after the identifier ("*").
constexpr uint8_t kEchoFillByte = 0x2A;

// ICMP for IPv4 and ICMPv6 for IPv6: the same echo under other type numbers.
enum class IcmpVersion { V4, V6 };

// The message types an echo involves.
struct IcmpTypes {
    uint8_t echoRequest;
    uint8_t echoReply;
    uint8_t destinationUnreachable;
};

constexpr IcmpTypes kIcmpTypes{8, 0, 3};
constexpr IcmpTypes kIcmpv6Types{128, 129, 1};

constexpr const IcmpTypes& TypesOf(IcmpVersion version) {
    return version == IcmpVersion::V4 ? kIcmpTypes : kIcmpv6Types;
}

// An echo request of messageBytes bytes (at least kMinEchoBytes): the echo
// request type, code 0, the checksum, the request identifier in the
// machine's byte order, then the fill byte. The ICMP checksum covers the
// whole message; an ICMPv6 one also covers the addresses, which only the
// kernel knows and fills in, so it is left 0 here.
std::vector<uint8_t> BuildEchoRequest(uint32_t requestId, size_t messageBytes, IcmpVersion version = IcmpVersion::V4);

}  // namespace corvasse

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

constexpr uint8_t kIcmpEchoReply = 0;
constexpr uint8_t kIcmpDestinationUnreachable = 3;
constexpr uint8_t kIcmpEchoRequest = 8;

// An echo request of messageBytes bytes (at least kMinEchoBytes): type 8,
// code 0, the checksum over the whole message, the request identifier in the
// machine's byte order, then the fill byte.
std::vector<uint8_t> BuildEchoRequest(uint32_t requestId, size_t messageBytes);

}  // namespace corvasse

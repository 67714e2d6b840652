#pragma once
// Decides what a received ICMP datagram means for the request in flight.

#include <cstddef>
#include <cstdint>
#include <span>

#include "ping/echo_request.h"

namespace corvasse {

// Bytes of an IPv4 header without options, which raw sockets deliver in front
// of the ICMP message (an ICMPv6 socket delivers the message alone), and of
// the IPv6 header, which an unreachable answer quotes.
constexpr size_t kIpv4HeaderBytes = 20;
constexpr size_t kIpv6HeaderBytes = 40;

// Which bytes of the request identifier an answer must carry. On a Linux ping
// socket the kernel writes its own echo identifier over the first half, so
// only the sequence half still identifies the request.
enum class IdMatch { WholeId, SequenceHalf };

enum class EchoAnswerKind {
    Ignored,      // not an answer to this request
    TooShort,     // fewer than 4 bytes of ICMP message
    EchoReply,    // the echo came back
    Unreachable,  // a destination-unreachable answer quoting the request
};

struct EchoAnswer {
    EchoAnswerKind Kind = EchoAnswerKind::Ignored;
    // The ICMP code of an Unreachable answer.
    int Code = 0;
};

// Classifies one datagram as read from a socket of that ICMP version. With
// ICMP an IPv4 header without options (first byte 0x45, at least 20 bytes)
// is skipped first. Reads only inside the span, whatever it holds.
EchoAnswer MatchEchoAnswer(std::span<const uint8_t> datagram, uint32_t requestId, IdMatch match,
                           IcmpVersion version = IcmpVersion::V4);

// True when the echo request carries the request identifier; used for the
// copy of the request that an error-queue notice returns.
bool RequestCarriesId(std::span<const uint8_t> request, uint32_t requestId, IdMatch match,
                      IcmpVersion version = IcmpVersion::V4);

}  // namespace corvasse

#include "ping/echo_answer.h"

#include <cstring>

namespace corvasse {

namespace {

constexpr uint8_t kIpv4NoOptions = 0x45;
// Behind the header of a destination-unreachable answer: 4 unused bytes, the
// request's IP header, then the request's type, code and checksum.
constexpr size_t QuotedIdOffset(IcmpVersion version) {
    return 4 + (version == IcmpVersion::V4 ? kIpv4HeaderBytes : kIpv6HeaderBytes) + kIcmpHeaderBytes;
}
// The sequence half of the identifier, in the order the bytes are sent.
constexpr size_t kSequenceHalfOffset = 2;

bool IdAt(std::span<const uint8_t> bytes, size_t offset, uint32_t requestId, IdMatch match) {
    if (bytes.size() < offset + kRequestIdBytes) {
        return false;
    }
    uint8_t expected[kRequestIdBytes];
    std::memcpy(expected, &requestId, sizeof expected);
    const size_t first = match == IdMatch::WholeId ? 0 : kSequenceHalfOffset;
    return std::memcmp(bytes.data() + offset + first, expected + first, kRequestIdBytes - first) == 0;
}

}  // namespace

EchoAnswer MatchEchoAnswer(std::span<const uint8_t> datagram, uint32_t requestId, IdMatch match, IcmpVersion version) {
    if (version == IcmpVersion::V4 && datagram.size() >= kIpv4HeaderBytes && datagram[0] == kIpv4NoOptions) {
        datagram = datagram.subspan(kIpv4HeaderBytes);
    }
    if (datagram.size() < kIcmpHeaderBytes) {
        return {EchoAnswerKind::TooShort, 0};
    }
    const uint8_t type = datagram[0];
    const uint8_t code = datagram[1];
    const auto body = datagram.subspan(kIcmpHeaderBytes);
    const IcmpTypes& types = TypesOf(version);
    if (type == types.echoReply && IdAt(body, 0, requestId, match)) {
        return {EchoAnswerKind::EchoReply, 0};
    }
    if (type == types.destinationUnreachable && IdAt(body, QuotedIdOffset(version), requestId, match)) {
        return {EchoAnswerKind::Unreachable, code};
    }
    return {EchoAnswerKind::Ignored, 0};
}

bool RequestCarriesId(std::span<const uint8_t> request, uint32_t requestId, IdMatch match, IcmpVersion version) {
    return request.size() >= kIcmpHeaderBytes && request[0] == TypesOf(version).echoRequest &&
           IdAt(request, kIcmpHeaderBytes, requestId, match);
}

}  // namespace corvasse

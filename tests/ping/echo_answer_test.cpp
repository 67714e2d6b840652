#include "ping/echo_answer.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <vector>

#include "ping/echo_request.h"

namespace corvasse {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kId = 0xCAFE1234;

Bytes IpHeader() {
    Bytes header(20, 0);
    header[0] = 0x45;
    header[9] = 1;  // ICMP
    return header;
}

Bytes WithIpHeader(const Bytes& icmp) {
    Bytes datagram = IpHeader();
    datagram.insert(datagram.end(), icmp.begin(), icmp.end());
    return datagram;
}

Bytes Reply(uint32_t id) {
    Bytes message = BuildEchoRequest(id, 64);
    message[0] = 0;
    return message;
}

// A destination-unreachable answer quoting the request as a router sends it:
// 4 unused bytes, the request's IP header, the first 8 bytes of the request.
Bytes UnreachableAnswer(uint8_t code, uint32_t quotedId) {
    Bytes message = {3, code, 0, 0, 0, 0, 0, 0};
    const Bytes quotedIp = IpHeader();
    message.insert(message.end(), quotedIp.begin(), quotedIp.end());
    const Bytes request = BuildEchoRequest(quotedId, 64);
    message.insert(message.end(), request.begin(), request.begin() + 8);
    return message;
}

Bytes Edited(Bytes bytes, const std::function<void(Bytes&)>& edit) {
    edit(bytes);
    return bytes;
}

// The kernel of a ping socket replaced the identifier field (bytes 4 and 5).
Bytes KernelId(Bytes message) {
    message[4] ^= 0xFF;
    message[5] ^= 0xFF;
    return message;
}

const Bytes kRequestV6 = BuildEchoRequest(kId, 64, IcmpVersion::V6);
const Bytes kReplyV6 = Edited(kRequestV6, [](Bytes& b) { b[0] = 129; });
// An ICMPv6 unreachable answer quotes 4 unused bytes, the 40-byte IPv6 header
// and the request's first 8 bytes.
const Bytes kUnreachableV6 = Edited({1, 4, 0, 0, 0, 0, 0, 0}, [](Bytes& b) {
    b.resize(b.size() + 40, 0x60);
    b.insert(b.end(), kRequestV6.begin(), kRequestV6.begin() + 8);
});

TEST(EchoAnswerTest, DatagramsAreClassifiedForTheRequestInFlight) {
    using enum EchoAnswerKind;
    using enum IcmpVersion;
    const auto cut = [](Bytes& b) { b.pop_back(); };
    const struct {
        const char* name;
        Bytes datagram;
        EchoAnswerKind kind;
        int code = 0;  // of an Unreachable answer
        IcmpVersion version = V4;
        IdMatch match = IdMatch::WholeId;
    } cases[] = {
        {"reply behind an IP header", WithIpHeader(Reply(kId)), EchoReply},
        // Ping sockets deliver the ICMP message without the IP header.
        {"reply alone", Reply(kId), EchoReply},
        {"another program's echo", WithIpHeader(Reply(kId + 1)), Ignored},
        {"own request seen on loopback", WithIpHeader(BuildEchoRequest(kId, 64)), Ignored},
        {"exactly the identifier", Edited(Reply(kId), [](Bytes& b) { b.resize(8); }), EchoReply},
        {"one byte short of it", Edited(Reply(kId), [](Bytes& b) { b.resize(7); }), Ignored},
        {"kernel identifier, sequence half", KernelId(Reply(kId)), EchoReply, 0, V4, IdMatch::SequenceHalf},
        {"kernel identifier, whole id", KernelId(Reply(kId)), Ignored},
        {"another sequence half", Edited(KernelId(Reply(kId)), [](Bytes& b) { b[7] ^= 0x01; }), Ignored, 0, V4,
         IdMatch::SequenceHalf},
        {"unreachable behind an IP header", WithIpHeader(UnreachableAnswer(1, kId)), Unreachable, 1},
        {"unreachable alone", UnreachableAnswer(13, kId), Unreachable, 13},
        {"unreachable for another request", WithIpHeader(UnreachableAnswer(1, kId ^ 0x00010000)), Ignored},
        // The quote must reach the identifier: 32 bytes behind the header.
        {"quote cut short", Edited(UnreachableAnswer(1, kId), cut), Ignored},
        {"time exceeded with the same bytes", Edited(UnreachableAnswer(0, kId), [](Bytes& b) { b[0] = 11; }), Ignored},
        {"empty", {}, TooShort},
        {"three bytes", {0, 0, 0}, TooShort},
        {"four bytes", {0, 0, 0, 0}, Ignored},
        {"IP header alone", IpHeader(), TooShort},
        {"IP header and 2 bytes", Edited(IpHeader(), [](Bytes& b) { b.resize(22); }), TooShort},
        // Shorter than an IP header: an ICMP message of type 0x45.
        {"0x45 alone", {0x45, 0, 0, 0, 0, 0}, Ignored},
        // Not stripped; its first byte is no ICMP type this program answers to.
        {"IP header with options", Edited(WithIpHeader(Reply(kId)), [](Bytes& b) { b[0] = 0x46; }), Ignored},
        {"ICMPv6 reply", kReplyV6, EchoReply, 0, V6},
        {"ICMPv6 reply on an ICMP socket", kReplyV6, Ignored},
        {"ICMP reply on an ICMPv6 socket", Reply(kId), Ignored, 0, V6},
        {"own ICMPv6 request", kRequestV6, Ignored, 0, V6},
        {"ICMPv6 unreachable", kUnreachableV6, Unreachable, 4, V6},
        {"ICMPv6 quote cut short", Edited(kUnreachableV6, cut), Ignored, 0, V6},
        // No IPv4 header is taken off an ICMPv6 message.
        {"IPv4 header on ICMPv6", WithIpHeader(kReplyV6), Ignored, 0, V6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const EchoAnswer answer = MatchEchoAnswer(c.datagram, kId, c.match, c.version);
        EXPECT_EQ(answer.Kind, c.kind);
        if (c.kind == Unreachable) {
            EXPECT_EQ(answer.Code, c.code);
        }
    }
}

TEST(EchoAnswerTest, RequestReturnedByTheErrorQueue) {
    const Bytes request = Edited(BuildEchoRequest(kId, 64), [](Bytes& b) { b[4] = b[5] = 0; });  // kernel identifier
    const struct {
        const char* name;
        Bytes request;
        bool carries;
        IcmpVersion version = IcmpVersion::V4;
    } cases[] = {
        {"kernel identifier", request, true},
        {"another sequence half", BuildEchoRequest(kId + 0x10000, 64), false},
        {"cut short", Edited(request, [](Bytes& b) { b.resize(7); }), false},
        {"empty", {}, false},
        {"ICMPv6", kRequestV6, true, IcmpVersion::V6},
        {"ICMPv6 taken as ICMP", kRequestV6, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RequestCarriesId(c.request, kId, IdMatch::SequenceHalf, c.version), c.carries) << c.name;
    }
    EXPECT_EQ(kRequestV6[0], 128);
    EXPECT_EQ(kRequestV6[2] | kRequestV6[3], 0) << "the kernel fills in the checksum";
}

TEST(EchoAnswerTest, ArbitraryDatagramsAreClassifiedWithoutReadingPastThem) {
    // Each datagram lives in a buffer of its exact size, so an over-read shows
    // under the sanitizers.
    std::mt19937 random(11);
    for (size_t length = 0; length < 120; ++length) {
        for (int round = 0; round < 50; ++round) {
            Bytes datagram(length);
            for (auto& byte : datagram) {
                byte = static_cast<uint8_t>(random() % 4 == 0 ? 0x45 : random() % 8);
            }
            if (MatchEchoAnswer(datagram, kId, IdMatch::WholeId).Kind == EchoAnswerKind::Unreachable) {
                EXPECT_GE(length, 36u);
            }
            if (MatchEchoAnswer(datagram, kId, IdMatch::WholeId, IcmpVersion::V6).Kind == EchoAnswerKind::Unreachable) {
                EXPECT_GE(length, 56u);
            }
            RequestCarriesId(datagram, kId, IdMatch::SequenceHalf);
        }
    }
}

}  // namespace
}  // namespace corvasse

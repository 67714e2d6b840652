#include "ping/echo_answer.h"

#include <gtest/gtest.h>

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

Bytes EchoReply(uint32_t id) {
    Bytes message = BuildEchoRequest(id, 64);
    message[0] = 0;
    return message;
}

// A destination-unreachable answer quoting the request as a router sends it:
// 4 unused bytes, the request's IP header, the first 8 bytes of the request.
Bytes Unreachable(uint8_t code, uint32_t quotedId) {
    Bytes message = {3, code, 0, 0, 0, 0, 0, 0};
    const Bytes quotedIp = IpHeader();
    message.insert(message.end(), quotedIp.begin(), quotedIp.end());
    const Bytes request = BuildEchoRequest(quotedId, 64);
    message.insert(message.end(), request.begin(), request.begin() + 8);
    return message;
}

EchoAnswerKind Kind(const Bytes& datagram, IdMatch match = IdMatch::WholeId) {
    return MatchEchoAnswer(datagram, kId, match).Kind;
}

TEST(EchoAnswerTest, EchoReplyMatchesOnItsIdentifier) {
    EXPECT_EQ(Kind(WithIpHeader(EchoReply(kId))), EchoAnswerKind::EchoReply);
    // Ping sockets deliver the ICMP message without the IP header.
    EXPECT_EQ(Kind(EchoReply(kId)), EchoAnswerKind::EchoReply);
    // Another program's echo, or our own request seen on loopback.
    EXPECT_EQ(Kind(WithIpHeader(EchoReply(kId + 1))), EchoAnswerKind::Ignored);
    EXPECT_EQ(Kind(WithIpHeader(BuildEchoRequest(kId, 64))), EchoAnswerKind::Ignored);
    // Exactly the identifier after the header is enough; one byte less is not.
    Bytes minimal = EchoReply(kId);
    minimal.resize(8);
    EXPECT_EQ(Kind(minimal), EchoAnswerKind::EchoReply);
    minimal.resize(7);
    EXPECT_EQ(Kind(minimal), EchoAnswerKind::Ignored);
}

TEST(EchoAnswerTest, PingSocketComparesTheSequenceHalfOnly) {
    // The kernel replaced the identifier field (bytes 4 and 5).
    Bytes reply = EchoReply(kId);
    reply[4] ^= 0xFF;
    reply[5] ^= 0xFF;
    EXPECT_EQ(Kind(reply, IdMatch::SequenceHalf), EchoAnswerKind::EchoReply);
    EXPECT_EQ(Kind(reply, IdMatch::WholeId), EchoAnswerKind::Ignored);
    reply[7] ^= 0x01;
    EXPECT_EQ(Kind(reply, IdMatch::SequenceHalf), EchoAnswerKind::Ignored);
}

TEST(EchoAnswerTest, UnreachableQuotingThisRequestCarriesItsCode) {
    const EchoAnswer hostUnreachable = MatchEchoAnswer(WithIpHeader(Unreachable(1, kId)), kId, IdMatch::WholeId);
    EXPECT_EQ(hostUnreachable.Kind, EchoAnswerKind::Unreachable);
    EXPECT_EQ(hostUnreachable.Code, 1);
    EXPECT_EQ(MatchEchoAnswer(Unreachable(13, kId), kId, IdMatch::WholeId).Code, 13);
    EXPECT_EQ(Kind(WithIpHeader(Unreachable(1, kId ^ 0x00010000))), EchoAnswerKind::Ignored);
    // The quote must reach the identifier: 32 bytes behind the header.
    Bytes cut = Unreachable(1, kId);
    cut.pop_back();
    EXPECT_EQ(Kind(cut), EchoAnswerKind::Ignored);
    // Other ICMP types carrying the same bytes are not answers.
    Bytes timeExceeded = Unreachable(0, kId);
    timeExceeded[0] = 11;
    EXPECT_EQ(Kind(timeExceeded), EchoAnswerKind::Ignored);
}

TEST(EchoAnswerTest, ShortMessagesAndHeaderStripping) {
    EXPECT_EQ(Kind({}), EchoAnswerKind::TooShort);
    EXPECT_EQ(Kind({0, 0, 0}), EchoAnswerKind::TooShort);
    EXPECT_EQ(Kind({0, 0, 0, 0}), EchoAnswerKind::Ignored);
    // An IP header followed by fewer than 4 bytes.
    Bytes headerOnly = IpHeader();
    EXPECT_EQ(Kind(headerOnly), EchoAnswerKind::TooShort);
    headerOnly.push_back(0);
    headerOnly.push_back(0);
    EXPECT_EQ(Kind(headerOnly), EchoAnswerKind::TooShort);
    // 0x45 but shorter than an IP header: taken as an ICMP message of type 0x45.
    EXPECT_EQ(Kind({0x45, 0, 0, 0, 0, 0}), EchoAnswerKind::Ignored);
    // An IP header with options is not stripped; its first byte is no ICMP type
    // this program answers to.
    Bytes withOptions = WithIpHeader(EchoReply(kId));
    withOptions[0] = 0x46;
    EXPECT_EQ(Kind(withOptions), EchoAnswerKind::Ignored);
}

TEST(EchoAnswerTest, RequestReturnedByTheErrorQueue) {
    Bytes request = BuildEchoRequest(kId, 64);
    request[4] = request[5] = 0;  // kernel identifier
    EXPECT_TRUE(RequestCarriesId(request, kId, IdMatch::SequenceHalf));
    EXPECT_FALSE(RequestCarriesId(BuildEchoRequest(kId + 0x10000, 64), kId, IdMatch::SequenceHalf));
    request.resize(7);
    EXPECT_FALSE(RequestCarriesId(request, kId, IdMatch::SequenceHalf));
    EXPECT_FALSE(RequestCarriesId({}, kId, IdMatch::SequenceHalf));
}

TEST(EchoAnswerTest, Icmpv6AnswersHaveTheirOwnTypesAndOffsets) {
    const Bytes request = BuildEchoRequest(kId, 64, IcmpVersion::V6);
    EXPECT_EQ(request[0], 128);
    EXPECT_EQ(request[2] | request[3], 0) << "the kernel fills in the checksum";
    Bytes reply = request;
    reply[0] = 129;
    // An unreachable answer quotes 4 unused bytes, the 40-byte IPv6 header
    // and the request's first 8 bytes.
    Bytes unreachable = {1, 4, 0, 0, 0, 0, 0, 0};
    unreachable.resize(unreachable.size() + 40, 0x60);
    unreachable.insert(unreachable.end(), request.begin(), request.begin() + 8);
    Bytes cut = unreachable;
    cut.pop_back();
    const struct {
        const char* name;
        Bytes datagram;
        IcmpVersion version;
        EchoAnswerKind kind;
    } cases[] = {
        {"ICMPv6 reply", reply, IcmpVersion::V6, EchoAnswerKind::EchoReply},
        {"ICMPv6 reply on an ICMP socket", reply, IcmpVersion::V4, EchoAnswerKind::Ignored},
        {"ICMP reply on an ICMPv6 socket", EchoReply(kId), IcmpVersion::V6, EchoAnswerKind::Ignored},
        {"own request", request, IcmpVersion::V6, EchoAnswerKind::Ignored},
        {"ICMPv6 unreachable", unreachable, IcmpVersion::V6, EchoAnswerKind::Unreachable},
        {"quote cut short", cut, IcmpVersion::V6, EchoAnswerKind::Ignored},
        // No IPv4 header is taken off an ICMPv6 message.
        {"IPv4 header", WithIpHeader(reply), IcmpVersion::V6, EchoAnswerKind::Ignored},
    };
    for (const auto& c : cases) {
        const EchoAnswer answer = MatchEchoAnswer(c.datagram, kId, IdMatch::WholeId, c.version);
        EXPECT_EQ(answer.Kind, c.kind) << c.name;
        if (c.kind == EchoAnswerKind::Unreachable) {
            EXPECT_EQ(answer.Code, 4) << c.name;
        }
    }
    EXPECT_TRUE(RequestCarriesId(request, kId, IdMatch::SequenceHalf, IcmpVersion::V6));
    EXPECT_FALSE(RequestCarriesId(request, kId, IdMatch::SequenceHalf, IcmpVersion::V4));
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
            const EchoAnswer answer = MatchEchoAnswer(datagram, kId, IdMatch::WholeId);
            if (answer.Kind == EchoAnswerKind::Unreachable) {
                EXPECT_GE(length, 36u);
            }
            const EchoAnswer answerV6 = MatchEchoAnswer(datagram, kId, IdMatch::WholeId, IcmpVersion::V6);
            if (answerV6.Kind == EchoAnswerKind::Unreachable) {
                EXPECT_GE(length, 56u);
            }
            RequestCarriesId(datagram, kId, IdMatch::SequenceHalf);
        }
    }
}

}  // namespace
}  // namespace corvasse

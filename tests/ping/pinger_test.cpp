#include "ping/pinger.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "common/abort_signal.h"
#include "common/file_descriptor.h"
#include "common/process_abort.h"
#include "ping/echo_request.h"
#include "ping/internet_checksum.h"
#include "ping/ping_error.h"
#include "support/isolated_network.h"
#include "support/process_resources.h"

namespace corvasse {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
using test::EnterNxDomainNetwork;
using test::EnterPrivateNetworkAndMounts;
using test::OpenDescriptorCount;
using test::RunInChild;
using test::ScopedNetNamespace;
using test::SetSysctl;

constexpr uid_t kNobody = 65534;
// How long a foreign reply stands alone before the ping's own follows.
constexpr std::chrono::milliseconds kForeignReplyLeadMs{300};

// Fails the ping and returns its error; an error when it succeeds.
PingError PingFailure(Pinger& pinger, const std::string& host) {
    try {
        pinger.PingHost(host);
    } catch (const PingError& error) {
        return error;
    }
    return PingError(0, "ping succeeded");
}

// A raw ICMP or ICMPv6 socket that sees the echo request on loopback and
// answers it the way a test wants. ICMP arrives behind its IP header, ICMPv6
// alone; the kernel fills in an ICMPv6 checksum.
class LoopbackResponder {
public:
    explicit LoopbackResponder(IcmpVersion version = IcmpVersion::V4)
        : v4_(version == IcmpVersion::V4),
          socket_(v4_ ? socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP)
                      : socket(AF_INET6, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMPV6)) {}
    bool Ok() const { return socket_.Valid(); }

    // Keeps the latest echo request seen; true once there is one.
    bool SawRequest() {
        uint8_t buffer[4096];
        ssize_t got;
        while ((got = recv(socket_.Get(), buffer, sizeof buffer, 0)) > 0) {
            if (got >= static_cast<ssize_t>(Header() + 8) && buffer[Header()] == (v4_ ? 8 : 128)) {
                request_.assign(buffer, buffer + got);
            }
        }
        return !request_.empty();
    }

    // Forgets the requests seen so far, so that the next one is awaited.
    void Forget() {
        SawRequest();
        request_.clear();
    }

    void SendReply(bool foreign) {
        Bytes reply(request_.begin() + Header(), request_.end());
        reply[0] = v4_ ? 0 : 129;
        if (foreign) reply[7] ^= 0x5A;
        Send(reply);
    }

    // Quotes 4 unused bytes, the request's IP header and its first 8 bytes,
    // as a router would; ICMPv6 quotes a header from ::1 to ::1.
    void SendUnreachable(uint8_t code) {
        Bytes answer = {static_cast<uint8_t>(v4_ ? 3 : 1), code, 0, 0, 0, 0, 0, 0};
        if (!v4_) {
            const Bytes header = {0x60, 0, 0, 0, 0, static_cast<uint8_t>(request_.size()), IPPROTO_ICMPV6, 64};
            answer.insert(answer.end(), header.begin(), header.end());
            for (int address = 0; address < 2; ++address) {
                answer.insert(answer.end(), std::begin(in6addr_loopback.s6_addr), std::end(in6addr_loopback.s6_addr));
            }
        }
        answer.insert(answer.end(), request_.begin(), request_.begin() + Header() + 8);
        Send(answer);
    }

private:
    size_t Header() const { return v4_ ? 20 : 0; }

    void Send(Bytes message) {
        if (!v4_) {
            sockaddr_in6 to{};
            to.sin6_family = AF_INET6;
            to.sin6_addr = in6addr_loopback;
            sendto(socket_.Get(), message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            return;
        }
        message[2] = message[3] = 0;
        const uint16_t checksum = InternetChecksum(message);
        std::memcpy(message.data() + 2, &checksum, 2);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(socket_.Get(), message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    bool v4_;
    FileDescriptor socket_;
    Bytes request_;
};

// Plays the far side on a thread of its own while a ping waits: once the
// responder has seen the echo request, answer runs with it.
class Answering {
public:
    Answering(LoopbackResponder& responder, std::function<void(LoopbackResponder&)> answer)
        : thread_([&responder, answer = std::move(answer)] {
              const auto giveUp = Clock::now() + std::chrono::seconds(5);
              while (!responder.SawRequest() && Clock::now() < giveUp) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
              if (responder.SawRequest()) answer(responder);
          }) {}
    ~Answering() { thread_.join(); }
    Answering(const Answering&) = delete;
    Answering& operator=(const Answering&) = delete;

private:
    std::thread thread_;
};

// A foreign reply, then after a while the ping's own.
void ForeignReplyThenOwn(LoopbackResponder& responder) {
    responder.SendReply(true);
    std::this_thread::sleep_for(kForeignReplyLeadMs);
    responder.SendReply(false);
}

class PingerTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "needs root for raw sockets and network namespaces";
    }
};

// In a network namespace of the test's own, whose loopback does not answer
// echoes (of either version).
class SilentLoopbackTest : public PingerTest {
protected:
    void SetUp() override {
        PingerTest::SetUp();
        if (IsSkipped()) return;
        network_.emplace();
        SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
        SetSysctl("net/ipv6/icmp/echo_ignore_all", "1");
    }

    std::optional<ScopedNetNamespace> network_;
};

TEST_F(PingerTest, EchoFromLoopback) {
    Pinger pinger;
    pinger.PingHost("127.0.0.1");
    EXPECT_EQ(pinger.ResponseSource(), "127.0.0.1");
    EXPECT_GE(pinger.ResponseTime(), 0);
    EXPECT_LT(pinger.ResponseTime(), 1000);

    // The largest message goes out and comes back; one byte more is refused.
    pinger.SetPacketSize(2052);
    pinger.PingHost("127.0.0.2");
    EXPECT_EQ(pinger.ResponseSource(), "127.0.0.2");
    pinger.SetPacketSize(2053);
    const PingError tooLong = PingFailure(pinger, "127.0.0.1");
    EXPECT_EQ(tooLong.Code, 118);
    EXPECT_EQ(tooLong.Description, "Message can't be longer than MaxMessageSize.");
    EXPECT_EQ(pinger.ResponseSource(), "");

    pinger.SetPacketSize(8);
    pinger.PingHost("127.0.0.1");
    EXPECT_EQ(pinger.ResponseSource(), "127.0.0.1");
    // An empty host sends nothing.
    pinger.PingHost("");
    EXPECT_EQ(pinger.ResponseSource(), "");
}

TEST_F(PingerTest, IPv6HostsGetAnIcmpv6EchoAndTheFamilyChoosesTheAddress) {
    ScopedNetNamespace network;  // its loopback has ::1, whatever the machine's has
    Pinger pinger;
    const struct {
        const char* host;
        AddressFamily family;
        const char* outcome;  // the answer's source, or the error
    } cases[] = {
        {"::1", AddressFamily::Any, "::1"},
        {"[::1]", AddressFamily::IPv6, "::1"},
        {"localhost", AddressFamily::Any, "::1"},
        {"localhost", AddressFamily::IPv4, "127.0.0.1"},
        {"LocalHost", AddressFamily::IPv6, "::1"},
        {"::1", AddressFamily::IPv4, "11004: Valid name, no data record (check DNS setup)"},
        {"127.0.0.1", AddressFamily::IPv6, "11004: Valid name, no data record (check DNS setup)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " " + std::to_string(static_cast<int>(c.family)));
        pinger.Family = c.family;
        try {
            pinger.PingHost(c.host);
            EXPECT_EQ(pinger.ResponseSource(), c.outcome);
            EXPECT_LT(pinger.ResponseTime(), 1000);
        } catch (const PingError& error) {
            EXPECT_STREQ(error.what(), c.outcome);
        }
    }
}

TEST_F(SilentLoopbackTest, SilenceTimesOut) {
    LoopbackResponder v6(IcmpVersion::V6);
    ASSERT_TRUE(v6.Ok());
    Pinger pinger;
    pinger.Timeout = std::chrono::seconds(1);
    for (const char* host : {"127.0.0.1", "::1"}) {
        SCOPED_TRACE(host);
        const auto start = Clock::now();
        const PingError error = PingFailure(pinger, host);
        const auto elapsed = Clock::now() - start;
        EXPECT_EQ(error.Code, 301);
        EXPECT_STREQ(error.what(), "301: Timeout.");
        EXPECT_EQ(pinger.ResponseTime(), 0);
        EXPECT_EQ(pinger.ResponseSource(), "");
        EXPECT_GE(elapsed, std::chrono::milliseconds(990));
        EXPECT_LT(elapsed, std::chrono::seconds(3));
    }
    EXPECT_TRUE(v6.SawRequest()) << "no ICMPv6 echo request went out";
}

TEST_F(SilentLoopbackTest, AcceptsOnlyAnswersToItsOwnRequest) {
    Pinger pinger;
    pinger.Timeout = std::chrono::seconds(5);
    {
        LoopbackResponder responder;
        ASSERT_TRUE(responder.Ok());
        Answering answering(responder, ForeignReplyThenOwn);
        const auto start = Clock::now();
        pinger.PingHost("127.0.0.1");
        // The foreign reply did not end the wait.
        EXPECT_GE(Clock::now() - start, kForeignReplyLeadMs);
        EXPECT_EQ(pinger.ResponseSource(), "127.0.0.1");
    }

    // A destination-unreachable answer that quotes the request reads as its
    // ICMP meaning, for ICMPv6 too.
    const struct {
        const char* host;
        IcmpVersion version;
        uint8_t code;
        const char* description;
    } cases[] = {
        {"127.0.0.1", IcmpVersion::V4, 1, "Host unreachable."},
        {"::1", IcmpVersion::V6, 4, "Port unreachable."},
    };
    for (const auto& c : cases) {
        LoopbackResponder responder(c.version);
        ASSERT_TRUE(responder.Ok());
        Answering answering(responder, [&](LoopbackResponder& r) { r.SendUnreachable(c.code); });
        const PingError unreachable = PingFailure(pinger, c.host);
        EXPECT_EQ(unreachable.Code, 127) << c.host;
        EXPECT_EQ(unreachable.Description, c.description);
        EXPECT_EQ(pinger.ResponseSource(), c.host);
    }
}

TEST_F(SilentLoopbackTest, SocketIsClosedAfterEveryOutcome) {
    const int before = OpenDescriptorCount();
    Pinger pinger;
    pinger.Timeout = std::chrono::seconds(1);
    EXPECT_EQ(PingFailure(pinger, "127.0.0.1").Code, 301);
    EXPECT_EQ(OpenDescriptorCount(), before);
    pinger.SetPacketSize(4000);
    EXPECT_EQ(PingFailure(pinger, "127.0.0.1").Code, 118);
    EXPECT_EQ(OpenDescriptorCount(), before);
    SetSysctl("net/ipv4/icmp_echo_ignore_all", "0");
    pinger.SetPacketSize(64);
    pinger.PingHost("127.0.0.1");
    EXPECT_EQ(OpenDescriptorCount(), before);
    SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    {
        LoopbackResponder responder;
        Answering answering(responder, [](LoopbackResponder& r) { r.SendUnreachable(3); });
        EXPECT_EQ(PingFailure(pinger, "127.0.0.1").Description, "Port unreachable.");
    }
    EXPECT_EQ(OpenDescriptorCount(), before);

    // A cut ends even a wait without a time limit, at once.
    AbortSignal cut;
    pinger.Timeout = std::chrono::seconds(0);
    std::thread cutter([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cut.Raise();
    });
    const auto start = Clock::now();
    {
        AbortSignalScope scope(&cut);
        EXPECT_THROW(pinger.PingHost("127.0.0.1"), AbortedError);
    }
    cutter.join();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(OpenDescriptorCount(), before + 1);  // the signal's own
    // The next ping is not cut.
    pinger.Timeout = std::chrono::seconds(1);
    EXPECT_EQ(PingFailure(pinger, "127.0.0.1").Code, 301);
}

// For a forked child: a fresh network namespace whose ping group range is
// groupRange and whose loopback ignores echoes of the versions silenced.
// Responders opened before DropToNobody keep their raw sockets.
void EnterPingNamespace(const std::string& groupRange, const std::vector<const char*>& silenced = {}) {
    EnterPrivateNetworkAndMounts();
    SetSysctl("net/ipv4/ping_group_range", groupRange);
    for (const char* sysctl : silenced) SetSysctl(sysctl, "1");
}

// The privileges of "nobody", who may open no raw socket.
void DropToNobody() {
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
        throw std::runtime_error("cannot drop privileges");
    }
    if (socket(AF_INET, SOCK_RAW, IPPROTO_ICMP) >= 0) {
        throw std::runtime_error("raw socket still allowed");
    }
}

TEST_F(PingerTest, UnprivilegedUserPingsThroughThePingSocket) {
    const std::string result = RunInChild([] {
        EnterPingNamespace("0 2147483647");
        DropToNobody();
        Pinger pinger;
        pinger.PingHost("127.0.0.1");
        std::string sources = pinger.ResponseSource();
        pinger.PingHost("::1");
        return "ok " + sources + " " + pinger.ResponseSource();
    });
    EXPECT_EQ(result, "ok 127.0.0.1 ::1");
}

TEST_F(PingerTest, PingSocketHearsOfAnUnreachableIPv6DestinationThroughItsErrorQueue) {
    const std::string result = RunInChild([] {
        EnterPingNamespace("0 2147483647", {"net/ipv6/icmp/echo_ignore_all"});
        auto* responder = new LoopbackResponder(IcmpVersion::V6);
        DropToNobody();
        Pinger pinger;
        pinger.Timeout = std::chrono::seconds(2);
        Answering answering(*responder, [](LoopbackResponder& r) { r.SendUnreachable(3); });
        const PingError error = PingFailure(pinger, "::1");
        return std::string(error.what()) + " from " + pinger.ResponseSource();
    });
    EXPECT_EQ(result, "127: Host unreachable. from ::1");
}

TEST_F(PingerTest, PingSocketMatchesAnswersAndTimesOut) {
    const std::string result = RunInChild([] {
        EnterPingNamespace("0 2147483647", {"net/ipv4/icmp_echo_ignore_all"});
        auto* responder = new LoopbackResponder;
        DropToNobody();
        std::string outcome;
        Pinger pinger;
        pinger.Timeout = std::chrono::seconds(1);
        outcome += std::to_string(PingFailure(pinger, "127.0.0.1").Code);

        // A foreign reply is ignored (by the kernel or by the sequence half),
        // the own one accepted.
        pinger.Timeout = std::chrono::seconds(5);
        responder->Forget();
        Answering answering(*responder, ForeignReplyThenOwn);
        const auto start = Clock::now();
        pinger.PingHost("127.0.0.1");
        const bool waitedForOwn = Clock::now() - start >= kForeignReplyLeadMs;
        outcome += " " + pinger.ResponseSource() + (waitedForOwn ? " after the foreign reply" : " too early");
        return outcome;
    });
    EXPECT_EQ(result, "301 127.0.0.1 after the foreign reply");
}

TEST_F(PingerTest, NeitherSocketAllowedGivesAccessDenied) {
    const std::string result = RunInChild([] {
        EnterPingNamespace("1 0");
        DropToNobody();
        Pinger pinger;
        return std::string(PingFailure(pinger, "127.0.0.1").what());
    });
    EXPECT_EQ(result, "10013: Access denied");
}

TEST_F(PingerTest, UnresolvableNamesGiveLookupErrors) {
    const std::string result = RunInChild([] {
        EnterNxDomainNetwork();
        Pinger pinger;
        std::string codes = PingFailure(pinger, "no-such-host.invalid").what();
        const std::string hosts[] = {
            std::string(300, 'a'),
            std::string(100000, 'x') + ".example",
            std::string("127.0.0.1\0.evil", 15),
            "bad host\t\r\n!",
            "999.1.1.1",
            "..",
            std::string(1, '\xff'),
        };
        for (const auto& host : hosts) {
            const int code = PingFailure(pinger, host).Code;
            codes += code >= 11001 && code <= 11004 ? " lookup" : " " + std::to_string(code);
        }
        return codes;
    });
    EXPECT_EQ(result, "11001: Host not found lookup lookup lookup lookup lookup lookup lookup");
}

}  // namespace
}  // namespace corvasse

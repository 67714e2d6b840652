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
#include <type_traits>
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
using test::OpenDescriptorCount;
using test::RunInChild;
using test::ScopedNetNamespace;
using test::SetSysctl;

constexpr uid_t kNobody = 65534;
// How long a foreign reply stands alone before the ping's own follows.
constexpr std::chrono::milliseconds kForeignReplyLeadMs{300};

#define REQUIRE_ROOT() \
    if (geteuid() != 0) GTEST_SKIP() << "needs root for raw sockets and network namespaces"

// Fails the ping and returns its error; an error when it succeeds.
PingError PingFailure(Pinger& pinger, const std::string& host) {
    try {
        pinger.PingHost(host);
    } catch (const PingError& error) {
        return error;
    }
    return PingError(0, "ping succeeded");
}

// A raw ICMP socket that sees the request on loopback and answers it the way
// a test wants.
class LoopbackResponder {
public:
    LoopbackResponder() : socket_(socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP)) {}
    bool Ok() const { return socket_.Valid(); }

    // The latest echo request seen, with its IP header (empty before one).
    const Bytes& Request() {
        uint8_t buffer[4096];
        ssize_t got;
        while ((got = recv(socket_.Get(), buffer, sizeof buffer, 0)) > 0) {
            if (got >= 28 && buffer[20] == 8) {
                request_.assign(buffer, buffer + got);
            }
        }
        return request_;
    }

    // Forgets the requests seen so far, so that the next one is awaited.
    void Forget() {
        Request();
        request_.clear();
    }

    void Send(Bytes message) {
        if (message.size() >= 4) {
            message[2] = message[3] = 0;
            const uint16_t checksum = InternetChecksum(message);
            std::memcpy(message.data() + 2, &checksum, 2);
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sendto(socket_.Get(), message.data(), message.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

    void SendReply(bool foreign) {
        Bytes reply(request_.begin() + 20, request_.end());
        reply[0] = 0;
        if (foreign) {
            reply[7] ^= 0x5A;
        }
        Send(reply);
    }

    void SendUnreachable(uint8_t code) {
        Bytes answer = {3, code, 0, 0, 0, 0, 0, 0};
        answer.insert(answer.end(), request_.begin(), request_.begin() + 28);
        Send(answer);
    }

private:
    FileDescriptor socket_;
    Bytes request_;
};

// Plays the far side on a thread of its own while a ping waits: once the
// responder has seen the echo request, answer runs with it.
class Answering {
public:
    template <typename Responder>
    Answering(Responder& responder, std::type_identity_t<std::function<void(Responder&)>> answer)
        : thread_([&responder, answer = std::move(answer)] {
              const auto giveUp = Clock::now() + std::chrono::seconds(5);
              while (!SawRequest(responder) && Clock::now() < giveUp) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(1));
              }
              if (SawRequest(responder)) answer(responder);
          }) {}
    ~Answering() { thread_.join(); }
    Answering(const Answering&) = delete;
    Answering& operator=(const Answering&) = delete;

private:
    static bool SawRequest(LoopbackResponder& responder) { return !responder.Request().empty(); }
    template <typename Responder>
    static bool SawRequest(Responder& responder) {
        return responder.SawRequest();
    }

    std::thread thread_;
};

// A foreign reply, then after a while the ping's own.
void ForeignReplyThenOwn(LoopbackResponder& responder) {
    responder.SendReply(true);
    std::this_thread::sleep_for(kForeignReplyLeadMs);
    responder.SendReply(false);
}

// The ICMPv6 side of loopback: a raw ICMPv6 socket sees the request (an
// ICMPv6 socket gets no IP header) and sends the answer a test wants; the
// kernel fills in its checksum.
class Icmpv6Responder {
public:
    Icmpv6Responder() : socket_(socket(AF_INET6, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMPV6)) {}
    bool Ok() const { return socket_.Valid(); }

    bool SawRequest() {
        uint8_t buffer[4096];
        ssize_t got;
        while ((got = recv(socket_.Get(), buffer, sizeof buffer, 0)) > 0) {
            if (got >= 8 && buffer[0] == 128) {
                request_.assign(buffer, buffer + got);
            }
        }
        return !request_.empty();
    }

    // Quotes 4 unused bytes, the request's IPv6 header (from ::1 to ::1) and
    // the request's first 8 bytes, as a router would.
    void SendUnreachable(uint8_t code) {
        Bytes answer = {1, code, 0, 0, 0, 0, 0, 0};
        const Bytes header = {0x60, 0, 0, 0, 0, static_cast<uint8_t>(request_.size()), IPPROTO_ICMPV6, 64};
        answer.insert(answer.end(), header.begin(), header.end());
        for (int address = 0; address < 2; ++address) {
            answer.insert(answer.end(), std::begin(in6addr_loopback.s6_addr), std::end(in6addr_loopback.s6_addr));
        }
        answer.insert(answer.end(), request_.begin(), request_.begin() + 8);
        sockaddr_in6 to{};
        to.sin6_family = AF_INET6;
        to.sin6_addr = in6addr_loopback;
        sendto(socket_.Get(), answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }

private:
    FileDescriptor socket_;
    Bytes request_;
};

TEST(PingerTest, EchoFromLoopback) {
    REQUIRE_ROOT();
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
}

TEST(PingerTest, IPv6HostsGetAnIcmpv6EchoAndTheFamilyChoosesTheAddress) {
    REQUIRE_ROOT();
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

TEST(PingerTest, Icmpv6SilenceTimesOutAndUnreachableReadsAsItsIcmpMeaning) {
    REQUIRE_ROOT();
    ScopedNetNamespace network;
    SetSysctl("net/ipv6/icmp/echo_ignore_all", "1");
    Icmpv6Responder responder;
    ASSERT_TRUE(responder.Ok());
    Pinger pinger;
    pinger.Timeout = std::chrono::seconds(1);
    EXPECT_STREQ(PingFailure(pinger, "::1").what(), "301: Timeout.");
    ASSERT_TRUE(responder.SawRequest()) << "no ICMPv6 echo request went out";

    Icmpv6Responder answerer;
    ASSERT_TRUE(answerer.Ok());
    Answering answering(answerer, [](Icmpv6Responder& r) { r.SendUnreachable(4); });
    const PingError unreachable = PingFailure(pinger, "::1");
    EXPECT_EQ(unreachable.Code, 127);
    EXPECT_EQ(unreachable.Description, "Port unreachable.");
    EXPECT_EQ(pinger.ResponseSource(), "::1");
}

TEST(PingerTest, EmptyHostSendsNothing) {
    REQUIRE_ROOT();
    Pinger pinger;
    pinger.PingHost("127.0.0.1");
    pinger.PingHost("");
    EXPECT_EQ(pinger.ResponseSource(), "");
}

TEST(PingerTest, SilentHostTimesOut) {
    REQUIRE_ROOT();
    ScopedNetNamespace network;
    SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    Pinger pinger;
    pinger.Timeout = std::chrono::seconds(1);
    const auto start = Clock::now();
    const PingError error = PingFailure(pinger, "127.0.0.1");
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(error.Code, 301);
    EXPECT_STREQ(error.what(), "301: Timeout.");
    EXPECT_EQ(pinger.ResponseTime(), 0);
    EXPECT_EQ(pinger.ResponseSource(), "");
    EXPECT_GE(elapsed, std::chrono::milliseconds(990));
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

TEST(PingerTest, AcceptsOnlyAnswersToItsOwnRequest) {
    REQUIRE_ROOT();
    ScopedNetNamespace network;
    SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
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

    // A destination-unreachable answer that quotes the request.
    LoopbackResponder responder;
    Answering answering(responder, [](LoopbackResponder& r) { r.SendUnreachable(1); });
    const PingError unreachable = PingFailure(pinger, "127.0.0.1");
    EXPECT_EQ(unreachable.Code, 127);
    EXPECT_EQ(unreachable.Description, "Host unreachable.");
    EXPECT_EQ(pinger.ResponseSource(), "127.0.0.1");
}

TEST(PingerTest, SocketIsClosedAfterEveryOutcome) {
    REQUIRE_ROOT();
    ScopedNetNamespace network;
    SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
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

// The child of a privileged test: a fresh network namespace whose ping group
// range is groupRange, then the privileges of "nobody".
void BecomeNobodyInNamespace(const std::string& groupRange) {
    if (unshare(CLONE_NEWNET) != 0) {
        throw std::runtime_error("unshare failed");
    }
    test::BringLoopbackUp();
    SetSysctl("net/ipv4/ping_group_range", groupRange);
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
        throw std::runtime_error("cannot drop privileges");
    }
    const int raw = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (raw >= 0) {
        throw std::runtime_error("raw socket still allowed");
    }
}

TEST(PingerTest, UnprivilegedUserPingsThroughThePingSocket) {
    REQUIRE_ROOT();
    const std::string result = RunInChild([] {
        BecomeNobodyInNamespace("0 2147483647");
        Pinger pinger;
        pinger.PingHost("127.0.0.1");
        std::string sources = pinger.ResponseSource();
        pinger.PingHost("::1");
        return "ok " + sources + " " + pinger.ResponseSource();
    });
    EXPECT_EQ(result, "ok 127.0.0.1 ::1");
}

TEST(PingerTest, PingSocketHearsOfAnUnreachableIPv6DestinationThroughItsErrorQueue) {
    REQUIRE_ROOT();
    const std::string result = RunInChild([] {
        if (unshare(CLONE_NEWNET) != 0) {
            throw std::runtime_error("unshare failed");
        }
        test::BringLoopbackUp();
        SetSysctl("net/ipv4/ping_group_range", "0 2147483647");
        SetSysctl("net/ipv6/icmp/echo_ignore_all", "1");
        // Opened before the privileges go, to play the far side.
        auto* responder = new Icmpv6Responder;
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            throw std::runtime_error("cannot drop privileges");
        }
        Pinger pinger;
        pinger.Timeout = std::chrono::seconds(2);
        Answering answering(*responder, [](Icmpv6Responder& r) { r.SendUnreachable(3); });
        const PingError error = PingFailure(pinger, "::1");
        return std::string(error.what()) + " from " + pinger.ResponseSource();
    });
    EXPECT_EQ(result, "127: Host unreachable. from ::1");
}

TEST(PingerTest, PingSocketMatchesAnswersAndTimesOut) {
    REQUIRE_ROOT();
    const std::string result = RunInChild([] {
        LoopbackResponder* responder = nullptr;
        if (unshare(CLONE_NEWNET) != 0) {
            throw std::runtime_error("unshare failed");
        }
        test::BringLoopbackUp();
        SetSysctl("net/ipv4/ping_group_range", "0 2147483647");
        SetSysctl("net/ipv4/icmp_echo_ignore_all", "1");
        // Opened before the privileges go, to play the far side.
        responder = new LoopbackResponder;
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            throw std::runtime_error("cannot drop privileges");
        }
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

TEST(PingerTest, NeitherSocketAllowedGivesAccessDenied) {
    REQUIRE_ROOT();
    const std::string result = RunInChild([] {
        BecomeNobodyInNamespace("1 0");
        Pinger pinger;
        const PingError error = PingFailure(pinger, "127.0.0.1");
        return std::string(error.what());
    });
    EXPECT_EQ(result, "10013: Access denied");
}

TEST(PingerTest, UnresolvableNamesGiveLookupErrors) {
    REQUIRE_ROOT();
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

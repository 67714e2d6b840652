// Connecting to a name with addresses in both families, in network
// namespaces of the test's own, where nft makes the IPv6 listener swallow
// what is sent to it.

#include "net/happy_eyeballs.h"

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "common/process_abort.h"
#include "net/net_error.h"
#include "net/tcp_client.h"
#include "support/connection_reads.h"
#include "support/expect_throw.h"
#include "support/isolated_network.h"
#include "support/process_resources.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using Clock = std::chrono::steady_clock;
using test::ScriptedPeer;
namespace peer = test::peer;

// Far longer than any outcome below takes: a connect that ends by it failed.
constexpr std::chrono::milliseconds kConnectTimeout{10000};

// Aims the client at host:port and records its statuses.
void Aim(TcpClient& client, const std::string& host, int port, std::vector<std::string>& statuses) {
    client.Host = host;
    client.Port = port;
    client.OnStatus = [&statuses](Status, const std::string& text) { statuses.push_back(text); };
}

std::string Joined(const std::vector<std::string>& texts) {
    std::string joined;
    for (const std::string& text : texts) joined += text + "|";
    return joined;
}

TEST(HappyEyeballsTest, AStalledIPv6AddressGivesWayToIPv4AfterTheAttemptDelay) {
    // In a child: the hosts file and the drop rule stay with its namespaces.
    const std::string result = test::RunInChild([] {
        test::EnterNetworkWithHosts("::1 dual.test\n127.0.0.1 dual.test\n");
        ScriptedPeer server({peer::SendLine("over IPv4")});
        test::DropTcpTo("::1", server.Port());
        TcpClient client;
        std::vector<std::string> statuses;
        Aim(client, "dual.test", server.Port(), statuses);
        client.ReadTimeout = test::kClientReadTimeoutMs;
        const int descriptors = test::OpenDescriptorCount();
        const auto start = Clock::now();
        client.Connect(Wait::For(kConnectTimeout));
        const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
        const std::string connecting = Joined(statuses);
        const std::string line = test::ReadLine(client);
        client.Disconnect();
        // The stalled attempt's socket went with the race.
        const std::string closed = server.WaitClosed() ? "all closed" : "peer still open";
        const int left = test::OpenDescriptorCount() - descriptors;
        return connecting + line + "|" + closed + "|" + std::to_string(left) + "|" + std::to_string(elapsed.count());
    });
    const size_t timeAt = result.rfind('|');
    ASSERT_NE(timeAt, std::string::npos) << result;
    EXPECT_EQ(result.substr(0, timeAt),
              "Resolving hostname dual.test.|Connecting to [::1].|Connecting to 127.0.0.1.|Connected.|over IPv4|"
              "all closed|0");
    const long elapsedMs = std::stol(result.substr(timeAt + 1));
    // IPv4 had to wait for the attempt delay, and not for the connect time-out.
    EXPECT_GE(elapsedMs, kConnectionAttemptDelay.count());
    EXPECT_LT(elapsedMs, kConnectTimeout.count() / 2);
}

TEST(HappyEyeballsTest, WhenEveryAttemptStallsTheTimeOutEndsThemAll) {
    test::ScopedNetNamespace network;
    ScriptedPeer server({});
    test::DropTcpTo("::1", server.Port());
    test::DropTcpTo("127.0.0.1", server.Port());
    TcpClient client;
    std::vector<std::string> statuses;
    Aim(client, "localhost", server.Port(), statuses);
    const int descriptors = test::OpenDescriptorCount();
    const int threads = test::ThreadCount();
    constexpr std::chrono::milliseconds kTimeout{700};
    const auto start = Clock::now();
    test::ExpectThrowWithMessage<ConnectTimeoutError>([&] { client.Connect(Wait::For(kTimeout)); },
                                                      "Connect timed out.");
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, kTimeout);
    EXPECT_LT(elapsed, kTimeout + std::chrono::seconds(3));
    EXPECT_EQ(statuses, (std::vector<std::string>{"Resolving hostname localhost.", "Connecting to [::1].",
                                                  "Connecting to 127.0.0.1."}));
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(test::ThreadCount(), threads);
    EXPECT_FALSE(client.IsConnected());
}

// Connects to a listener that never accepts while another thread raises the
// process abort; exits 3 when the connect ended with AbortedError in time.
[[noreturn]] void ConnectThroughAnAbort() {
    test::FullListener listener;
    TcpClient client;
    client.Host = "127.0.0.1";
    client.Port = listener.Port();
    std::thread raiser([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        RaiseProcessAbort();
    });
    const auto start = Clock::now();
    int status = 1;
    try {
        client.Connect(Wait::Forever());
    } catch (const AbortedError&) {
        status = Clock::now() - start < kConnectTimeout ? 3 : 2;
    }
    raiser.join();
    _exit(status);
}

TEST(HappyEyeballsDeathTest, TheProcessAbortEndsAConnectUnderWayAtOnce) {
    // In a process of its own (not a fork, which would share the abort's
    // descriptor with this one): the abort lasts for the rest of it.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ConnectThroughAnAbort(), ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace corvasse

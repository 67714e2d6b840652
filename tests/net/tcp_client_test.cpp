#include "net/tcp_client.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "net/net_error.h"
#include "net/socket_io_handler.h"
#include "support/connection_reads.h"
#include "support/expect_throw.h"
#include "support/isolated_network.h"
#include "support/loopback.h"
#include "support/process_resources.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::ClosedPort;
using test::ConnectTo;
using test::ExpectThrowWithMessage;
using test::FullListener;
using test::kClientReadTimeoutMs;
using test::ScriptedPeer;
namespace peer = test::peer;
using Clock = std::chrono::steady_clock;

// Records status texts and the connect/disconnect events in one sequence.
struct EventLog {
    std::vector<std::string> entries;
    void Attach(TcpClient& client) {
        client.OnStatus = [this](Status, const std::string& text) { entries.push_back(text); };
        client.OnConnected = [this] { entries.push_back("OnConnected"); };
        client.OnDisconnected = [this] { entries.push_back("OnDisconnected"); };
    }
};

TEST(TcpClientTest, ReportsResolvingOnlyForAHostName) {
    ScriptedPeer server({peer::Sleep(50)});
    TcpClient client;
    EventLog log;
    log.Attach(client);
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Connect();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected.", "OnConnected"}));
    client.Disconnect();

    log.entries.clear();
    client.Host = "LocalHost";
    client.Connect();
    // Nothing listens on ::1 at that port: that attempt fails at once.
    EXPECT_EQ(log.entries, (std::vector<std::string>{"Resolving hostname LocalHost.", "Connecting to [::1].",
                                                     "Connecting to 127.0.0.1.", "Connected.", "OnConnected"}));
    EXPECT_TRUE(client.IsConnected());
}

TEST(TcpClientTest, TheFamilyAndTheLiteralChooseTheAddressesTried) {
    test::ScopedNetNamespace network;  // its loopback has ::1, whatever the machine's has
    // Each peer takes two connections; the ports differ, so each case
    // reaches at most one of them.
    ScriptedPeer four({peer::Accept()});
    ScriptedPeer six({peer::Accept()}, "::1");
    const int closed = ClosedPort();
    const struct {
        const char* host;
        AddressFamily family;
        int port;
        std::vector<std::string> events;  // the statuses, then the address connected to or the error
    } cases[] = {
        {"localhost",
         AddressFamily::IPv4,
         four.Port(),
         {"Resolving hostname localhost.", "Connecting to 127.0.0.1.", "Connected.", "127.0.0.1"}},
        {"localhost",
         AddressFamily::IPv6,
         four.Port(),
         {"Resolving hostname localhost.", "Connecting to [::1].", "Socket Error # 10061\r\nConnection refused."}},
        // Every attempt refused: the last one's error.
        {"localhost",
         AddressFamily::Any,
         closed,
         {"Resolving hostname localhost.", "Connecting to [::1].", "Connecting to 127.0.0.1.",
          "Socket Error # 10061\r\nConnection refused."}},
        {"127.0.0.1", AddressFamily::IPv6, four.Port(), {"Socket Error # 11004\r\n"}},
        {"127.0.0.1", AddressFamily::Any, four.Port(), {"Connecting to 127.0.0.1.", "Connected.", "127.0.0.1"}},
        {"::1", AddressFamily::Any, six.Port(), {"Connecting to [::1].", "Connected.", "::1"}},
        {"[::1]", AddressFamily::IPv6, six.Port(), {"Connecting to [::1].", "Connected.", "::1"}},
        {"[::1]", AddressFamily::IPv4, six.Port(), {"Socket Error # 11004\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.host) + " " + std::to_string(static_cast<int>(c.family)));
        TcpClient client;
        std::vector<std::string> events;
        client.OnStatus = [&](Status, const std::string& text) { events.push_back(text); };
        client.Host = c.host;
        client.Port = c.port;
        client.Family = c.family;
        try {
            client.Connect(Wait::For(std::chrono::milliseconds(kClientReadTimeoutMs)));
            events.push_back(static_cast<SocketIOHandler*>(client.Handler())->Binding().PeerIP);
        } catch (const SocketError& e) {
            events.push_back(e.what());
        }
        EXPECT_EQ(events, c.events);
    }
}

TEST(TcpClientTest, OrderlyDisconnectRaisesTheEventBeforeTheStatus) {
    ScriptedPeer server({peer::ReadUntilClose()});
    TcpClient client;
    EventLog log;
    ConnectTo(client, server);
    log.Attach(client);
    client.Disconnect();
    EXPECT_EQ(log.entries, (std::vector<std::string>{"Disconnecting.", "OnDisconnected", "Disconnected."}));
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(client.Handler(), nullptr) << "a handler the client made is freed";

    log.entries.clear();
    client.Disconnect();
    EXPECT_TRUE(log.entries.empty()) << "nothing is open any more";
    EXPECT_TRUE(server.WaitClosed());
}

TEST(TcpClientTest, NoticedCloseRaisesTheStatusBeforeTheEvent) {
    ScriptedPeer server({peer::Close()});
    TcpClient client;
    EventLog log;
    ConnectTo(client, server);
    log.Attach(client);
    EXPECT_THROW(test::ReadLine(client), ConnClosedGracefullyError);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
    log.entries.clear();
    client.Disconnect();
    EXPECT_TRUE(log.entries.empty());
}

TEST(TcpClientTest, RefusedConnectRaisesSocketErrorAndCanBeRetried) {
    int port = ClosedPort();
    TcpClient client;
    client.Host = "127.0.0.1";
    client.Port = port;
    for (int timeout : {-1, 0, 1000, -2}) {
        SCOPED_TRACE(timeout);
        auto e = ExpectThrowWithMessage<SocketError>([&] { client.Connect(Wait::FromMs(timeout)); },
                                                     "Socket Error # 10061\r\nConnection refused.");
        if (e) {
            EXPECT_EQ(e->Code(), 10061);
        }
        EXPECT_FALSE(client.IsConnected());
    }
    ScriptedPeer server({peer::SendLine("hello")});
    client.Port = server.Port();
    client.Connect(Wait::For(std::chrono::milliseconds(1000)));
    EXPECT_EQ(test::ReadLine(client), "hello");
}

TEST(TcpClientTest, ConnectWhileConnectedIsRefused) {
    ScriptedPeer server({});
    TcpClient client;
    ConnectTo(client, server);
    ExpectThrowWithMessage<AlreadyConnectedError>([&] { client.Connect(); }, "Already connected.");
    EXPECT_TRUE(client.IsConnected()) << "the open connection is left alone";
}

TEST(TcpClientTest, TimedConnectGivesUpOnTimeAndLeavesNothingBehind) {
    FullListener listener;
    TcpClient client;
    client.Host = "127.0.0.1";
    client.Port = listener.Port();
    int descriptors = test::OpenDescriptorCount();
    int threads = test::ThreadCount();
    constexpr int kTimeoutMs = 300;
    auto start = Clock::now();
    ExpectThrowWithMessage<ConnectTimeoutError>(
        [&] { client.Connect(Wait::For(std::chrono::milliseconds(kTimeoutMs))); }, "Connect timed out.");
    auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(elapsed, kTimeoutMs - 5);
    EXPECT_LE(elapsed, kTimeoutMs + 250);
    EXPECT_FALSE(client.IsConnected());
    EXPECT_EQ(test::OpenDescriptorCount(), descriptors);
    EXPECT_EQ(test::ThreadCount(), threads);
}

TEST(TcpClientTest, ThreadedConnectReturnsAsSoonAsConnected) {
    ScriptedPeer server({peer::SendLine("hi")});
    TcpClient client;
    client.Host = server.Host();
    client.Port = server.Port();
    auto start = Clock::now();
    client.Connect(Wait::For(std::chrono::milliseconds(120000)));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(test::ReadLine(client), "hi");
    client.Disconnect();
    client.Connect(Wait::Forever());
    EXPECT_TRUE(client.IsConnected());
}

TEST(TcpClientTest, SharedHandlerIsNeverFreedAndReportsNoConnectStates) {
    ScriptedPeer server({peer::Close(), peer::Accept()});
    SocketIOHandler shared;
    {
        TcpClient first;
        EventLog log;
        log.Attach(first);
        first.SetIOHandler(&shared);
        first.Host = "localhost";
        first.Port = server.Port();
        first.Connect();
        first.Disconnect();
        EXPECT_EQ(log.entries, (std::vector<std::string>{"Connected.", "OnConnected", "Disconnecting.",
                                                         "OnDisconnected", "Disconnected."}));
        EXPECT_EQ(first.Handler(), &shared);
    }
    TcpClient second;
    second.SetIOHandler(&shared);
    second.Host = "127.0.0.1";
    second.Port = server.Port();
    second.Connect();
    EXPECT_TRUE(shared.Connected());
}

}  // namespace
}  // namespace corvasse

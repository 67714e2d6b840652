// TlsIOHandler against peers that do not complete a handshake: each ends in
// bounded time with an error, and what the client wrote never goes out in
// clear.

#include "net/tls_io_handler.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "net/net_error.h"
#include "net/tcp_client.h"
#include "net/tls_error.h"
#include "support/connection_reads.h"
#include "support/loopback.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::PeerStep;
using test::ScriptedPeer;
namespace peer = test::peer;
using Clock = std::chrono::steady_clock;

constexpr int kShortReadTimeoutMs = 300;
// How long a silent peer stays silent: well past the read time-out (the
// peer waits it out before the test can see what reached it).
constexpr int kSilenceMs = 800;
// Far below the peer's own waits, far above any scheduling delay.
constexpr long kBoundedMs = 5000;
// A TLS record header: a handshake record of version TLS 1.2 announcing 64 bytes.
const std::string kRecordHeader("\x16\x03\x03\x00\x40", 5);

struct HostilePeer {
    const char* name;
    std::vector<PeerStep> script;
    const char* expected;  // the start of the message
};

TEST(TlsIOHandlerTest, HandshakeWithAHostilePeerEndsInBoundedTime) {
    const HostilePeer cases[] = {
        {"silent after accept", {peer::Sleep(kSilenceMs)}, "Read Timeout"},
        {"silent after the ClientHello", {peer::ReadBytes(5), peer::Sleep(kSilenceMs)}, "Read Timeout"},
        {"garbage instead of a ServerHello",
         {peer::ReadBytes(5), peer::Send("HTTP/1.1 400 Bad Request\r\n\r\n")},
         "TLS handshake failed: wrong version number"},
        {"close mid-record",
         {peer::ReadBytes(5), peer::Send(kRecordHeader + "\x02\x00"), peer::Close()},
         "TLS handshake failed: "},
        {"reset mid-handshake", {peer::ReadBytes(5), peer::Reset()}, "TLS handshake failed: Connection reset by peer"},
    };
    for (const HostilePeer& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer server(c.script);
        TcpClient client;
        client.ReadTimeout = kShortReadTimeoutMs;
        test::ConnectTo(client, server);
        TlsIOHandler& tls = RequireTls(client.Handler());
        tls.StartTls("localhost");
        client.WriteLn("secret");  // kept until the handshake is done
        const auto start = Clock::now();
        try {
            test::ReadLine(client);
            ADD_FAILURE() << "no error";
        } catch (const NetError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(c.expected, 0), 0u) << e.what();
        }
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(), kBoundedMs);
        EXPECT_FALSE(tls.TlsEstablished());
        // Closing after a failed handshake sends nothing in clear either.
        client.Disconnect();
        ASSERT_TRUE(server.WaitClosed());
        EXPECT_EQ(server.Received().find("secret"), std::string::npos);
    }
}

TEST(TlsIOHandlerTest, OnlyATlsHandlerCanStartTls) {
    EXPECT_THROW(RequireTls(nullptr), IOHandlerPropInvalidError);
    SocketIOHandler plain;
    EXPECT_THROW(RequireTls(&plain), IOHandlerPropInvalidError);
    TlsIOHandler unconnected;
    EXPECT_THROW(unconnected.StartTls("localhost"), ClosedSocketError);
}

}  // namespace
}  // namespace corvasse

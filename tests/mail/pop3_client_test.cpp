#include "mail/pop3_client.h"

#include <gtest/gtest.h>

#include "common/byte_string.h"
#include "mail/mail_errors.h"
#include "net/socket_io_handler.h"
#include "net/tls_error.h"
#include "support/expect_throw.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::ScriptedPeer;
namespace peer = test::peer;

class Pop3ClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        client.ReadTimeout = test::kClientReadTimeoutMs;
        client.Username = "bob";
        client.Password = "pop s3cret";
    }
    void ConnectTo(const ScriptedPeer& server) {
        client.Host = server.Host();
        client.Port = server.Port();
        client.Connect();
    }

    Pop3Client client;
};

TEST_F(Pop3ClientTest, LoginStatAndQuit) {
    ScriptedPeer server({peer::SendLine("+OK POP3 ready"), peer::ReadLine(), peer::SendLine("+OK"), peer::ReadLine(),
                         peer::SendLine("+ok logged in"), peer::ReadLine(), peer::SendLine("+OK 3 1200"),
                         peer::ReadLine(), peer::Close()});
    ConnectTo(server);
    EXPECT_EQ(client.CheckMessages(), 3);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(server.Received(), "USER bob\r\nPASS pop s3cret\r\nSTAT\r\nQUIT\r\n");
    EXPECT_EQ(Pop3Client().Port, 110);
}

TEST_F(Pop3ClientTest, StatAnswers) {
    ScriptedPeer server({peer::SendLine("+OK"), peer::ReadLine(), peer::SendLine("+OK"), peer::ReadLine(),
                         peer::SendLine("+OK"), peer::ReadLine(), peer::SendLine("+OK 0 0"), peer::ReadLine(),
                         peer::SendLine("+OK"), peer::ReadLine(), peer::SendLine("+OK 7"), peer::ReadLine(),
                         peer::SendLine("+OK many 10"), peer::ReadLine(), peer::SendLine("-ERR mailbox locked"),
                         peer::ReadUntilClose()});
    ConnectTo(server);
    EXPECT_EQ(client.CheckMessages(), 0);
    EXPECT_EQ(client.CheckMessages(), 0);  // a bare +OK
    // A count without a size is not a STAT answer.
    test::ExpectThrowWithMessage<ConversionError>([&] { client.CheckMessages(); }, "'' is not a valid integer value");
    EXPECT_THROW(client.CheckMessages(), ConversionError);
    const auto error =
        test::ExpectThrowWithMessage<ProtocolReplyError>([&] { client.CheckMessages(); }, " mailbox locked\r\n");
    if (error) {
        EXPECT_EQ(error->ReplyCode, kPop3Err);
    }
    // A failure after connecting leaves the connection open.
    EXPECT_TRUE(client.IsConnected());
    client.Disconnect();
}

TEST_F(Pop3ClientTest, RefusedPasswordDisconnects) {
    ScriptedPeer server({peer::SendLine("+OK ready"), peer::ReadLine(), peer::SendLine("+OK"), peer::ReadLine(),
                         peer::SendLine("-ERR [AUTH] Authentication failed."), peer::ReadUntilClose()});
    const auto error = test::ExpectThrowWithMessage<ProtocolReplyError>([&] { ConnectTo(server); },
                                                                        " [AUTH] Authentication failed.\r\n");
    if (error) {
        EXPECT_EQ(error->ReplyCode, kPop3Err);
    }
    EXPECT_FALSE(client.IsConnected());
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), "USER bob\r\nPASS pop s3cret\r\nQUIT\r\n");
    // Disconnecting a closed client sends nothing and raises nothing.
    EXPECT_NO_THROW(client.Disconnect());
}

TEST_F(Pop3ClientTest, StlsThatFailsEndsBeforeTheLogin) {
    client.Security = MailSecurity::StartTls;
    const struct {
        const char* stlsReply;
        const char* message;
    } cases[] = {
        {"-ERR unknown command\r\n", "Server does not offer STLS."},
        // Bytes sent in clear behind the go-ahead must not pass for encrypted ones.
        {"+OK begin TLS\r\n+OK injected\r\n", "TLS handshake failed: the server sent data ahead of the handshake"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stlsReply);
        ScriptedPeer server(
            {peer::SendLine("+OK ready"), peer::ReadLine(), peer::Send(c.stlsReply), peer::ReadUntilClose()});
        test::ExpectThrowWithMessage<TlsError>([&] { ConnectTo(server); }, c.message);
        EXPECT_FALSE(client.IsConnected());
        ASSERT_TRUE(server.WaitClosed());
        EXPECT_EQ(server.Received().find("USER"), std::string::npos) << server.Received();
        EXPECT_EQ(server.Received().rfind("STLS\r\n", 0), 0u) << server.Received();
    }
}

TEST_F(Pop3ClientTest, ServerClosingAtAnyPointGivesAnError) {
    const std::vector<test::PeerStep> full = {peer::SendLine("+OK ready"), peer::ReadLine(),
                                              peer::SendLine("+OK"),       peer::ReadLine(),
                                              peer::SendLine("+OK"),       peer::ReadLine()};
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        std::vector<test::PeerStep> script(full.begin(), full.begin() + static_cast<long>(cut));
        script.push_back(peer::Close());
        ScriptedPeer server(script);
        EXPECT_THROW(
            {
                ConnectTo(server);
                client.CheckMessages();
            },
            NetError)
            << "cut after step " << cut;
        client.Disconnect();
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(Pop3ClientTest, UnrecognizedStatusLine) {
    ScriptedPeer server({peer::SendLine("* OK IMAP4 ready"), peer::ReadUntilClose()});
    // A NetError of its own, not a refusal: no reply code applies.
    test::ExpectThrowWithMessage<NetError>([&] { ConnectTo(server); },
                                           "Unrecognized POP3 Response Header:\n\" IMAP4 ready\r\n\"");
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(Pop3ClientTest, ApopSendsTheDigestOfTimestampAndPassword) {
    client.APOP = true;
    client.Username = "mrose";
    client.Password = "tanstaaf";
    ScriptedPeer server({peer::SendLine("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>"), peer::ReadLine(),
                         peer::SendLine("+OK maildrop has 1 message (369 octets)"), peer::ReadUntilClose()});
    ConnectTo(server);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), "APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\nQUIT\r\n");

    ScriptedPeer plain({peer::SendLine("+OK POP3 server ready"), peer::ReadUntilClose()});
    test::ExpectThrowWithMessage<NetError>([&] { ConnectTo(plain); }, "Server do not support APOP (no timestamp)");
    EXPECT_FALSE(client.IsConnected());
}

TEST(Pop3ClientSharingTest, SharedHandlerMakesConnectionsOneAfterTheOther) {
    SocketIOHandler shared;
    Pop3Client first;
    Pop3Client second;
    first.SetIOHandler(&shared);
    second.SetIOHandler(&shared);
    ScriptedPeer server({peer::SendLine("+OK"), peer::ReadLine(), peer::SendLine("+OK"), peer::ReadLine(),
                         peer::SendLine("+OK"), peer::ReadUntilClose()});
    for (Pop3Client* client : {&first, &second}) {
        client->ReadTimeout = test::kClientReadTimeoutMs;
        client->Host = server.Host();
        client->Port = server.Port();
    }
    first.Connect();
    // The second client sees the shared connection as its own.
    EXPECT_TRUE(second.IsConnected());
    EXPECT_THROW(second.Connect(), AlreadyConnectedError);
    first.Disconnect();
    EXPECT_FALSE(second.IsConnected());
}

}  // namespace
}  // namespace corvasse

// Pop3Client dialogues as rows over the scripted transport; the STLS
// go-ahead with bytes behind it over a socket, where TLS starts.

#include "mail/pop3_client.h"

#include <gtest/gtest.h>

#include "common/byte_string.h"
#include "mail/mail_errors.h"
#include "net/socket_io_handler.h"
#include "net/tls_error.h"
#include "support/dialogue.h"
#include "support/expect_throw.h"
#include "support/loopback.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

namespace script = test::script;
using Call = test::Call<Pop3Client>;

std::string CheckMessages(Pop3Client& client) { return std::to_string(client.CheckMessages()); }

class Pop3ClientTest : public test::DialogueTest<Pop3Client> {
protected:
    void Prepare(Pop3Client& client) override {
        DialogueTest::Prepare(client);
        client.Username = "bob";
        client.Password = "pop s3cret";
    }
    // An APOP login as mrose, and the calls after it.
    static std::vector<Call> Apop(std::string outcome, std::vector<Call> then = {}) {
        std::vector<Call> calls = {Set(&Pop3Client::APOP, true), Set(&Pop3Client::Username, "mrose"),
                                   Set(&Pop3Client::Password, "tanstaaf"), Connect(std::move(outcome))};
        calls.insert(calls.end(), then.begin(), then.end());
        return calls;
    }
};

TEST_F(Pop3ClientTest, Dialogues) {
    const std::string refusedLogin = "ProtocolReplyError " + std::to_string(kPop3Err) + ": ";
    PlayAll({
        {"login, STAT and QUIT",
         {script::SendLine("+OK POP3 ready"), script::ReadLine(), script::SendLine("+OK"), script::ReadLine(),
          script::SendLine("+ok logged in"), script::ReadLine(), script::SendLine("+OK 3 1200"), script::ReadLine(),
          script::Close()},
         {Connect(), {CheckMessages, "3"}},
         {"USER bob\r\nPASS pop s3cret\r\nSTAT\r\nQUIT\r\n"}},
        // A count without a size is not a STAT answer; a failure after
        // connecting leaves the connection open.
        {"STAT answers",
         {script::SendLine("+OK"), script::ReadLine(), script::SendLine("+OK"), script::ReadLine(),
          script::SendLine("+OK"), script::ReadLine(), script::SendLine("+OK 0 0"), script::ReadLine(),
          script::SendLine("+OK"), script::ReadLine(), script::SendLine("+OK 7"), script::ReadLine(),
          script::SendLine("+OK many 10"), script::ReadLine(), script::SendLine("-ERR mailbox locked")},
         {Connect(),
          {CheckMessages, "0"},
          {CheckMessages, "0"},
          {CheckMessages, "ConversionError: '' is not a valid integer value"},
          {CheckMessages, "ConversionError: 'many' is not a valid integer value"},
          {CheckMessages, refusedLogin + " mailbox locked\r\n"},
          Connected("connected")},
         {"USER bob\r\nPASS pop s3cret\r\nSTAT\r\nSTAT\r\nSTAT\r\nSTAT\r\nSTAT\r\nQUIT\r\n"}},
        // Disconnecting a closed client sends nothing and raises nothing.
        {"a refused password disconnects",
         {script::SendLine("+OK ready"), script::ReadLine(), script::SendLine("+OK"), script::ReadLine(),
          script::SendLine("-ERR [AUTH] Authentication failed.")},
         {Connect(refusedLogin + " [AUTH] Authentication failed.\r\n"), Connected("closed"), Disconnect()},
         {"USER bob\r\nPASS pop s3cret\r\nQUIT\r\n"}},
        {"STLS refused ends before the login",
         {script::SendLine("+OK ready"), script::ReadLine(), script::SendLine("-ERR unknown command")},
         {Set(&Pop3Client::Security, MailSecurity::StartTls), Connect("TlsError: Server does not offer STLS."),
          Connected("closed")},
         {"STLS\r\nQUIT\r\n"}},
        // A NetError of its own, not a refusal: no reply code applies.
        {"an unrecognized status line",
         {script::SendLine("* OK IMAP4 ready")},
         {Connect("NetError: Unrecognized POP3 Response Header:\n\" IMAP4 ready\r\n\""), Connected("closed")},
         {"QUIT\r\n"}},
        {"APOP sends the digest of the timestamp and the password",
         {script::SendLine("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>"), script::ReadLine(),
          script::SendLine("+OK maildrop has 1 message (369 octets)")},
         Apop(""),
         {"APOP mrose c4c9334bac560ecc979e58001b3e22fb\r\nQUIT\r\n"}},
        {"APOP without a timestamp",
         {script::SendLine("+OK POP3 server ready")},
         Apop("NetError: Server do not support APOP (no timestamp)", {Connected("closed")}),
         {"QUIT\r\n"}},
    });
    EXPECT_EQ(Pop3Client().Port, 110);
}

TEST_F(Pop3ClientTest, ServerClosingAtAnyPointGivesAnError) {
    const std::vector<test::ScriptStep> full = {script::SendLine("+OK ready"), script::ReadLine(),
                                                script::SendLine("+OK"),       script::ReadLine(),
                                                script::SendLine("+OK"),       script::ReadLine()};
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE("cut after step " + std::to_string(cut));
        std::vector<test::ScriptStep> steps(full.begin(), full.begin() + static_cast<long>(cut));
        steps.push_back(script::Close());
        test::ScriptedTransport transport(steps);
        Pop3Client client;
        Prepare(client);
        client.SetIOHandler(&transport);
        EXPECT_THROW(
            {
                client.Connect();
                client.CheckMessages();
            },
            NetError);
        client.Disconnect();
        EXPECT_FALSE(client.IsConnected());
    }
}

// Bytes sent in clear behind the go-ahead must not pass for encrypted ones.
TEST_F(Pop3ClientTest, StlsGoAheadWithBytesBehindItEndsBeforeTheLogin) {
    test::ScriptedPeer server({test::peer::SendLine("+OK ready"), test::peer::ReadLine(),
                               test::peer::Send("+OK begin TLS\r\n+OK injected\r\n"), test::peer::ReadUntilClose()});
    Pop3Client client;
    Prepare(client);
    client.Security = MailSecurity::StartTls;
    test::ExpectThrowWithMessage<TlsError>([&] { test::ConnectTo(client, server); },
                                           "TLS handshake failed: the server sent data ahead of the handshake");
    EXPECT_FALSE(client.IsConnected());
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received().find("USER"), std::string::npos) << server.Received();
    EXPECT_EQ(server.Received().rfind("STLS\r\n", 0), 0u) << server.Received();
}

TEST_F(Pop3ClientTest, SharedHandlerMakesConnectionsOneAfterTheOther) {
    test::ScriptedTransport shared({script::SendLine("+OK"), script::ReadLine(), script::SendLine("+OK"),
                                    script::ReadLine(), script::SendLine("+OK")});
    Pop3Client first;
    Pop3Client second;
    for (Pop3Client* client : {&first, &second}) {
        Prepare(*client);
        client->SetIOHandler(&shared);
    }
    first.Connect();
    // The second client sees the shared connection as its own.
    EXPECT_TRUE(second.IsConnected());
    EXPECT_THROW(second.Connect(), AlreadyConnectedError);
    first.Disconnect();
    EXPECT_FALSE(second.IsConnected());
    EXPECT_EQ(shared.Unplayed(), "");
}

}  // namespace
}  // namespace corvasse

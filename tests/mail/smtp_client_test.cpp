#include "mail/smtp_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include <unistd.h>

#include "common/base64.h"
#include "mail/mail_errors.h"
#include "net/tls_error.h"
#include "support/expect_throw.h"
#include "support/message_lines.h"
#include "support/reply_error.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::PeerStep;
using test::ScriptedPeer;
namespace peer = test::peer;

constexpr std::time_t kSomeDate = 1767517503;  // Sun, 4 Jan 2026 09:05:03 UTC

// The lines the client writes after DATA for the message of SetUp.
const std::vector<std::string> kMessageLines =
    test::MessageLines({.addressHeaders = {"From: \"Me Myself\" <me@example.org>", "Subject: Corvasse Alert",
                                           "To: alerts@example.org", "Cc: copy@example.org"},
                        .sender = "alerts@example.org",
                        .date = "Date: Sun, 4 Jan 2026 09:05:03 +0000",
                        .text = {"first line", "..a line starting with a full stop", ".."}});

std::string CrLf(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

class SmtpClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
        client.HeloName = "client.test";
        client.ReadTimeout = test::kClientReadTimeoutMs;
        message.Date = kSomeDate;
        message.CharSet = "iso-8859-1";
        message.From.Address = "me@example.org";
        message.From.Name = "Me Myself";
        message.Sender.Address = "alerts@example.org";
        message.Subject = "Corvasse Alert";
        message.Recipients.AddressListText("<alerts@example.org>");
        message.CCList.AddressListText("copy@example.org");
        message.BccList.AddressListText("hidden@example.org");
        TextPart& part = message.AddTextPart({"first line", ".a line starting with a full stop", "."});
        part.SetContentType("text/plain");
        part.SetContentTransfer("7bit");
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    void ConnectTo(const ScriptedPeer& server) {
        client.Host = server.Host();
        client.Port = server.Port();
        client.Connect();
    }

    // The server side of one transaction after EHLO: RSET to the end of DATA.
    static std::vector<PeerStep> Transaction() {
        return peer::Concat({{peer::ReadLine(), peer::SendLine("250 reset"),         // RSET
                              peer::ReadLine(), peer::SendLine("250 sender ok"),     // MAIL FROM
                              peer::ReadLine(), peer::SendLine("250 ok"),            // RCPT To
                              peer::ReadLine(), peer::SendLine("251 will forward"),  // RCPT Cc
                              peer::ReadLine(), peer::SendLine("250 ok"),            // RCPT Bcc
                              peer::ReadLine(), peer::SendLine("354 go ahead")},     // DATA
                             peer::ReadLines(kMessageLines.size() + 1),              // message and "."
                             {peer::SendLine("250 queued")}});
    }

    static std::string TransactionBytes() {
        return "RSET\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n"
               "RCPT TO:<copy@example.org>\r\nRCPT TO:<hidden@example.org>\r\nDATA\r\n" +
               CrLf(kMessageLines) + ".\r\n";
    }

    SmtpClient client;
    MailMessage message;
};

TEST_F(SmtpClientTest, WholeDialogueWithoutLogin) {
    // LOGIN is offered, but the client is not asked to use it.
    ScriptedPeer server(peer::Concat({{peer::SendLine("220 mail.test ESMTP"), peer::ReadLine(),
                                       peer::Send("250-mail.test\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n")},
                                      Transaction(),
                                      {peer::ReadLine(), peer::Close()}}));
    ConnectTo(server);
    EXPECT_EQ(client.AuthSchemes(), (std::vector<std::string>{"LOGIN", "PLAIN"}));
    client.Send(message);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(server.Received(), "EHLO client.test\r\n" + TransactionBytes() + "QUIT\r\n");
    // The message got no X-Mailer, and Bcc never reaches a header.
    EXPECT_EQ(server.Received().find("X-Mailer"), std::string::npos);
    EXPECT_EQ(server.Received().find("hidden@example.org>\r\n"), server.Received().rfind("hidden@example.org>\r\n"));
}

TEST_F(SmtpClientTest, AuthLoginRunsOncePerConnection) {
    client.SetAuthenticationType(AuthType::Login);
    client.Username = "alice";
    client.Password = "wonder land";
    client.MailAgent = "Corvasse";
    ScriptedPeer server(
        peer::Concat({{peer::SendLine("220 mail.test ESMTP"), peer::ReadLine(),
                       peer::Send("250-mail.test\r\n250-AUTH=LOGIN\r\n250 AUTH LOGIN CRAM-MD5\r\n")},
                      {peer::ReadLine(), peer::SendLine("250 reset")},
                      {peer::ReadLine(), peer::SendLine("334 VXNlcm5hbWU6"), peer::ReadLine(),
                       peer::SendLine("334 UGFzc3dvcmQ6"), peer::ReadLine(), peer::SendLine("235 welcome")},
                      {peer::ReadLine(), peer::SendLine("250 ok")},  // MAIL FROM
                      {peer::ReadLine(), peer::SendLine("250 ok"), peer::ReadLine(), peer::SendLine("250 ok"),
                       peer::ReadLine(), peer::SendLine("250 ok")},
                      {peer::ReadLine(), peer::SendLine("354 go ahead")},
                      peer::ReadLines(kMessageLines.size() + 2),  // the message gains an X-Mailer line
                      {peer::SendLine("250 queued")},
                      Transaction(),
                      {peer::ReadLine(), peer::Close()}}));
    ConnectTo(server);
    EXPECT_EQ(client.AuthSchemes(), (std::vector<std::string>{"LOGIN", "CRAM-MD5"}));
    client.Send(message);
    EXPECT_TRUE(client.Authenticated());
    message.ExtraHeaders.Clear();
    client.MailAgent.clear();
    client.Send(message);
    client.Disconnect();
    EXPECT_FALSE(client.Authenticated());
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Failure(), "");
    std::vector<std::string> firstMessage = kMessageLines;
    firstMessage.insert(firstMessage.begin() + 10, "X-Mailer: Corvasse");
    EXPECT_EQ(server.Received(), "EHLO client.test\r\nRSET\r\nAUTH LOGIN\r\n" + EncodeBase64("alice") + "\r\n" +
                                     EncodeBase64("wonder land") + "\r\n" +
                                     "MAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n"
                                     "RCPT TO:<copy@example.org>\r\nRCPT TO:<hidden@example.org>\r\nDATA\r\n" +
                                     CrLf(firstMessage) + ".\r\n" + TransactionBytes() + "QUIT\r\n");
}

TEST_F(SmtpClientTest, RefusedEhloFallsBackToHeloWithoutAuth) {
    client.SetAuthenticationType(AuthType::Login);
    client.HeloName.clear();
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    ScriptedPeer server(peer::Concat({{peer::SendLine("220 old.test"), peer::ReadLine(), peer::SendLine("500 what?"),
                                       peer::ReadLine(), peer::SendLine("250 old.test")},
                                      {peer::ReadLine(), peer::SendLine("502 no RSET here")},  // any code will do
                                      {peer::ReadLine(), peer::SendLine("250 ok")},
                                      {peer::ReadLine(), peer::SendLine("250 ok"), peer::ReadLine(),
                                       peer::SendLine("250 ok"), peer::ReadLine(), peer::SendLine("250 ok")},
                                      {peer::ReadLine(), peer::SendLine("354 go ahead")},
                                      peer::ReadLines(kMessageLines.size() + 1),
                                      {peer::SendLine("250 queued"), peer::ReadLine(), peer::Close()}}));
    ConnectTo(server);
    EXPECT_TRUE(client.AuthSchemes().empty());
    client.Send(message);
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Failure(), "");
    EXPECT_EQ(server.Received(),
              "EHLO " + std::string(host) + "\r\nHELO " + std::string(host) + "\r\n" + TransactionBytes() + "QUIT\r\n");
}

TEST_F(SmtpClientTest, RefusedRecipientStopsTheTransactionAndLeavesTheConnectionOpen) {
    ScriptedPeer server({peer::SendLine("220 mail.test"), peer::ReadLine(), peer::SendLine("250 mail.test"),
                         peer::ReadLine(), peer::SendLine("250 reset"), peer::ReadLine(), peer::SendLine("250 ok"),
                         peer::ReadLine(), peer::SendLine("550 5.1.1 <alerts@example.org>: no such user"),
                         peer::ReadUntilClose()});
    ConnectTo(server);
    const auto refused = test::ExpectThrowWithMessage<ProtocolReplyError>(
        [&] { client.Send(message); }, "5.1.1 <alerts@example.org>: no such user\r\n");
    if (refused) {
        EXPECT_EQ(refused->ReplyCode, 550);
    }
    EXPECT_TRUE(client.IsConnected());
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(),
              "EHLO client.test\r\nRSET\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\nQUIT\r\n");
}

TEST_F(SmtpClientTest, ServerClosingMidDataFailsTheSend) {
    ScriptedPeer server(
        peer::Concat({{peer::SendLine("220 mail.test"), peer::ReadLine(), peer::SendLine("250 mail.test")},
                      {peer::ReadLine(), peer::SendLine("250 reset"), peer::ReadLine(), peer::SendLine("250 ok")},
                      {peer::ReadLine(), peer::SendLine("250 ok"), peer::ReadLine(), peer::SendLine("250 ok"),
                       peer::ReadLine(), peer::SendLine("250 ok")},
                      {peer::ReadLine(), peer::SendLine("354 go ahead"), peer::ReadLine(), peer::Reset()}}));
    ConnectTo(server);
    EXPECT_THROW(client.Send(message), NetError);
    client.Disconnect();
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(SmtpClientTest, FailedGreetingOrHeloDisconnects) {
    ScriptedPeer refused({peer::SendLine("554 go away"), peer::ReadUntilClose()});
    test::ExpectReplyCode([&] { ConnectTo(refused); }, 554);
    EXPECT_FALSE(client.IsConnected());
    ASSERT_TRUE(refused.WaitClosed());
    EXPECT_EQ(refused.Received(), "QUIT\r\n");

    ScriptedPeer helo({peer::SendLine("220 hi"), peer::ReadLine(), peer::SendLine("502 no EHLO"), peer::ReadLine(),
                       peer::SendLine("501 no HELO either"), peer::ReadUntilClose()});
    EXPECT_THROW(ConnectTo(helo), ProtocolReplyError);
    EXPECT_FALSE(client.IsConnected());
    ASSERT_TRUE(helo.WaitClosed());
    EXPECT_EQ(helo.Received(), "EHLO client.test\r\nHELO client.test\r\nQUIT\r\n");

    // After the failures the client connects as new.
    ScriptedPeer good({peer::SendLine("220 hi"), peer::ReadLine(), peer::SendLine("250 hi"), peer::ReadUntilClose()});
    ConnectTo(good);
    EXPECT_TRUE(client.IsConnected());
    client.Disconnect();
}

TEST_F(SmtpClientTest, StartTlsThatIsNotOfferedFailsBeforeAnyLogin) {
    client.Security = MailSecurity::StartTls;
    client.SetAuthenticationType(AuthType::Login);
    client.Username = "alice";
    client.Password = "wonder land";
    for (const char* ehloReply : {"250-mail.test\r\n250 AUTH LOGIN\r\n", "502 no EHLO\r\n"}) {
        SCOPED_TRACE(ehloReply);
        ScriptedPeer server(
            {peer::SendLine("220 hi"), peer::ReadLine(), peer::Send(ehloReply), peer::ReadUntilClose()});
        test::ExpectThrowWithMessage<TlsError>([&] { ConnectTo(server); }, "Server does not offer STARTTLS.");
        EXPECT_FALSE(client.IsConnected());
        ASSERT_TRUE(server.WaitClosed());
        // No HELO fallback, no AUTH, no password: only the farewell.
        EXPECT_EQ(server.Received(), "EHLO client.test\r\nQUIT\r\n");
    }
}

TEST_F(SmtpClientTest, ServerClosingAtAnyPointGivesAnError) {
    std::vector<PeerStep> full = peer::Concat(
        {{peer::SendLine("220 mail.test"), peer::ReadLine(), peer::SendLine("250 mail.test")}, Transaction()});
    for (size_t cut = 0; cut < full.size(); ++cut) {
        std::vector<PeerStep> script(full.begin(), full.begin() + static_cast<long>(cut));
        script.push_back(peer::Close());
        ScriptedPeer server(script);
        client.Host = server.Host();
        client.Port = server.Port();
        EXPECT_THROW(
            {
                client.Connect();
                client.Send(message);
            },
            NetError)
            << "cut after step " << cut;
        client.Disconnect();
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(SmtpClientTest, GarbageAndSilenceGiveErrors) {
    ScriptedPeer garbage({peer::SendLine("hello there"), peer::ReadUntilClose()});
    test::ExpectReplyCode([&] { ConnectTo(garbage); }, 0);
    ScriptedPeer silent({peer::Sleep(3000)});
    client.ReadTimeout = 200;
    EXPECT_THROW(ConnectTo(silent), ReadTimeoutError);
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(SmtpClientTest, LineBreaksInHeaderTextsNeverReachTheWire) {
    ScriptedPeer server({peer::SendLine("220 hi"), peer::ReadLine(), peer::SendLine("250 hi"), peer::ReadUntilClose()});
    ConnectTo(server);
    TextPart& part = *message.MessageParts.front();
    const std::string injected = "\r\nBcc: victim@example.org";
    struct Case {
        const char* field;
        std::function<void()> inject;
        std::function<void()> undo;
    } cases[] = {
        {"To", [&] { message.Recipients[0].Address += ">" + injected; },
         [&] { message.Recipients[0].Address = "alerts@example.org"; }},
        {"Sender", [&] { message.Sender.Name = "x\nBcc: victim@example.org"; }, [&] { message.Sender.Name.clear(); }},
        {"Content-Type", [&] { message.ContentType = "text/plain" + injected; }, [&] { message.ContentType.clear(); }},
        {"Content-Transfer-Encoding", [&] { message.ContentTransferEncoding = "7bit\n"; },
         [&] { message.ContentTransferEncoding.clear(); }},
        {"X-Extra", [&] { message.ExtraHeaders.Add("X-Extra: a" + injected); }, [&] { message.ExtraHeaders.Clear(); }},
        {"X-Mailer", [&] { client.MailAgent = "agent" + injected; }, [&] { client.MailAgent.clear(); }},
        {"Content-Type", [&] { part.SetContentType("text/plain" + injected); },
         [&] { part.SetContentType("text/plain"); }},
        {"Content-Transfer-Encoding", [&] { part.SetContentTransfer("7bit\r"); },
         [&] { part.SetContentTransfer("7bit"); }},
        {"X-Part", [&] { part.ExtraHeaders.Add("X-Part: a" + injected); }, [&] { part.ExtraHeaders.Clear(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.field);
        test::ExpectThrowWithMessage<MessageError>(
            [&] {
                c.inject();
                client.Send(message);
            },
            "The " + std::string(c.field) + " field holds a line break (CR or LF).");
        c.undo();
    }
    client.Disconnect();
    ASSERT_TRUE(server.WaitClosed());
    EXPECT_EQ(server.Received(), "EHLO client.test\r\nQUIT\r\n");
}

TEST_F(SmtpClientTest, PropertyCouplings) {
    client.SetAuthenticationType(AuthType::Login);
    client.SetUseEhlo(false);
    EXPECT_EQ(client.AuthenticationType(), AuthType::None);
    client.SetAuthenticationType(AuthType::Login);
    EXPECT_TRUE(client.UseEhlo());
    EXPECT_EQ(SmtpClient().Port, 25);
    EXPECT_EQ(SmtpClient().ReadTimeout, kMailReadTimeoutMs);
}

}  // namespace
}  // namespace corvasse

// SmtpClient dialogues as rows over the scripted transport: the server's
// replies, what each call returns or throws, the exact bytes sent.

#include "mail/smtp_client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include <unistd.h>

#include "common/base64.h"
#include "mail/mail_errors.h"
#include "net/tls_error.h"
#include "support/dialogue.h"
#include "support/expect_throw.h"
#include "support/message_lines.h"
#include "support/scripted_peer.h"

namespace corvasse {
namespace {

using test::ScriptStep;
namespace script = test::script;
using Steps = std::vector<ScriptStep>;
using Call = test::Call<SmtpClient>;

constexpr std::time_t kSomeDate = 1767517503;  // Sun, 4 Jan 2026 09:05:03 UTC

// The lines the client writes after DATA for the message of Message().
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

MailMessage Message() {
    MailMessage message;
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
    return message;
}

// The server's side of the greeting and a one-line EHLO reply.
Steps Greeting() { return {script::SendLine("220 mail.test"), script::ReadLine(), script::SendLine("250 mail.test")}; }

// The server reading a command line and giving each reply in turn.
Steps Replies(std::initializer_list<const char*> replies) {
    Steps steps;
    for (const char* reply : replies) steps.insert(steps.end(), {script::ReadLine(), script::SendLine(reply)});
    return steps;
}

// The server side of one transaction after EHLO: RSET, MAIL FROM, a reply to
// each RCPT TO (To, Cc, Bcc), DATA, the message and ".".
Steps Transaction(std::initializer_list<const char*> rcptReplies = {"250 ok", "251 will forward", "250 ok"},
                  const char* dotReply = "250 queued") {
    return script::Concat({Replies({"250 reset", "250 sender ok"}),
                           Replies(rcptReplies),
                           Replies({"354 go ahead"}),
                           script::ReadLines(kMessageLines.size() + 1),
                           {script::SendLine(dotReply)}});
}

std::string TransactionBytes() {
    return "RSET\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n"
           "RCPT TO:<copy@example.org>\r\nRCPT TO:<hidden@example.org>\r\nDATA\r\n" +
           CrLf(kMessageLines) + ".\r\n";
}

std::string AuthSchemes(SmtpClient& client) {
    std::string text;
    for (const std::string& scheme : client.AuthSchemes()) text += (text.empty() ? "" : " ") + scheme;
    return text;
}

std::string Authenticated(SmtpClient& client) { return client.Authenticated() ? "in" : "out"; }

class SmtpClientTest : public test::DialogueTest<SmtpClient> {
protected:
    void SetUp() override {
        setenv("TZ", "UTC0", 1);
        tzset();
    }
    void TearDown() override {
        unsetenv("TZ");
        tzset();
    }

    void Prepare(SmtpClient& client) override {
        DialogueTest::Prepare(client);
        client.HeloName = "client.test";
        message = Message();
        handedOver = false;
    }

    // Asks for AUTH LOGIN as alice.
    static Call LogIn() {
        return {[](SmtpClient& client) {
                    client.SetAuthenticationType(AuthType::Login);
                    client.Username = "alice";
                    client.Password = "wonder land";
                    return "";
                },
                ""};
    }

    // Returns the recipients refused, "ADDRESS: REASON" each.
    Call SendMessage(std::string outcome) {
        return {[this](SmtpClient& client) {
                    std::string refused;
                    for (const RefusedRecipient& recipient : client.Send(message, [this] { handedOver = true; })) {
                        refused += (refused.empty() ? "" : "; ") + recipient.address + ": " + recipient.reason;
                    }
                    return refused;
                },
                std::move(outcome)};
    }
    // Whether the last Send handed the message over (its final "." went out).
    Call HandedOver(const char* outcome) {
        return {[this](SmtpClient&) { return std::string(handedOver ? "handed over" : "kept"); }, outcome};
    }
    static void WithoutCopies(MailMessage& m) {
        m.CCList.Clear();
        m.BccList.Clear();
    }
    Call Edit(std::function<void(MailMessage&)> edit) {
        return {[this, edit](SmtpClient&) { return edit(message), ""; }, ""};
    }

    MailMessage message;
    bool handedOver = false;
};

TEST_F(SmtpClientTest, Dialogues) {
    char host[256] = {};
    ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
    const std::string notOffered = "TlsError: Server does not offer STARTTLS.";
    std::vector<std::string> withMailer = kMessageLines;  // the first message gains an X-Mailer line
    withMailer.insert(withMailer.begin() + 10, "X-Mailer: Corvasse");
    const Steps quit = {script::ReadLine(), script::Close()};  // QUIT, and the server closes
    PlayAll({
        // LOGIN is offered, but the client is not asked to use it. The
        // message gets no X-Mailer, and Bcc never reaches a header.
        {"the whole dialogue without login",
         script::Concat({{script::SendLine("220 mail.test ESMTP"), script::ReadLine(),
                          script::Send("250-mail.test\r\n250-AUTH LOGIN PLAIN\r\n250 8BITMIME\r\n")},
                         Transaction(),
                         {script::ReadLine(), script::Close()}}),
         {Connect(), {AuthSchemes, "LOGIN PLAIN"}, SendMessage("")},
         {"EHLO client.test\r\n" + TransactionBytes() + "QUIT\r\n"}},
        {"AUTH LOGIN runs once per connection",
         script::Concat({{script::SendLine("220 mail.test ESMTP"), script::ReadLine(),
                          script::Send("250-mail.test\r\n250-AUTH=LOGIN\r\n250 AUTH LOGIN CRAM-MD5\r\n")},
                         {script::ReadLine(), script::SendLine("250 reset")},
                         {script::ReadLine(), script::SendLine("334 VXNlcm5hbWU6"), script::ReadLine(),
                          script::SendLine("334 UGFzc3dvcmQ6"), script::ReadLine(), script::SendLine("235 welcome")},
                         {script::ReadLine(), script::SendLine("250 ok")},  // MAIL FROM
                         {script::ReadLine(), script::SendLine("250 ok"), script::ReadLine(),
                          script::SendLine("250 ok"), script::ReadLine(), script::SendLine("250 ok")},
                         {script::ReadLine(), script::SendLine("354 go ahead")},
                         script::ReadLines(withMailer.size() + 1),
                         {script::SendLine("250 queued")},
                         Transaction(),
                         {script::ReadLine(), script::Close()}}),
         {LogIn(),
          Set(&SmtpClient::MailAgent, "Corvasse"),
          Connect(),
          {AuthSchemes, "LOGIN CRAM-MD5"},
          SendMessage(""),
          {Authenticated, "in"},
          {[this](SmtpClient& client) {
               message.ExtraHeaders.Clear();
               client.MailAgent.clear();
               return "";
           },
           ""},
          SendMessage(""),
          Disconnect(),
          {Authenticated, "out"}},
         {"EHLO client.test\r\nRSET\r\nAUTH LOGIN\r\n" + EncodeBase64("alice") + "\r\n" + EncodeBase64("wonder land") +
          "\r\n" +
          "MAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n"
          "RCPT TO:<copy@example.org>\r\nRCPT TO:<hidden@example.org>\r\nDATA\r\n" +
          CrLf(withMailer) + ".\r\n" + TransactionBytes() + "QUIT\r\n"}},
        // Any code will do for RSET.
        {"a refused EHLO falls back to HELO without AUTH",
         script::Concat({{script::SendLine("220 old.test"), script::ReadLine(), script::SendLine("500 what?"),
                          script::ReadLine(), script::SendLine("250 old.test")},
                         {script::ReadLine(), script::SendLine("502 no RSET here")},
                         {script::ReadLine(), script::SendLine("250 ok")},
                         {script::ReadLine(), script::SendLine("250 ok"), script::ReadLine(),
                          script::SendLine("250 ok"), script::ReadLine(), script::SendLine("250 ok")},
                         {script::ReadLine(), script::SendLine("354 go ahead")},
                         script::ReadLines(kMessageLines.size() + 1),
                         {script::SendLine("250 queued"), script::ReadLine(), script::Close()}}),
         {LogIn(), Set(&SmtpClient::HeloName, ""), Connect(), {AuthSchemes, ""}, SendMessage("")},
         {"EHLO " + std::string(host) + "\r\nHELO " + std::string(host) + "\r\n" + TransactionBytes() + "QUIT\r\n"}},
        {"the one recipient refused stops the transaction and leaves the connection open",
         script::Concat({Greeting(), Replies({"250 reset", "250 ok", "550 5.1.1 <alerts@example.org>: no such user"})}),
         {Edit(WithoutCopies), Connect(),
          SendMessage("ProtocolReplyError 550: 5.1.1 <alerts@example.org>: no such user\r\n"), Connected("connected")},
         {"EHLO client.test\r\nRSET\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\nQUIT\r\n"}},
        {"the server resetting mid-DATA fails the send",
         script::Concat(
             {Greeting(),
              {script::ReadLine(), script::SendLine("250 reset"), script::ReadLine(), script::SendLine("250 ok")},
              {script::ReadLine(), script::SendLine("250 ok"), script::ReadLine(), script::SendLine("250 ok"),
               script::ReadLine(), script::SendLine("250 ok")},
              {script::ReadLine(), script::SendLine("354 go ahead"), script::ReadLine(), script::Reset()}}),
         {Connect(), SendMessage("SocketError: Socket Error # 10054\r\nConnection reset by peer."), Disconnect(),
          Connected("closed")},
         {"EHLO client.test\r\nRSET\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n"
          "RCPT TO:<copy@example.org>\r\nRCPT TO:<hidden@example.org>\r\nDATA\r\n" +
          kMessageLines[0] + "\r\n"}},
        {"a refused recipient among several is left out, the others get the message",
         script::Concat({Greeting(), Transaction({"250 ok", "550 5.1.1 no such user", "250 ok"}), quit}),
         {Connect(), SendMessage("copy@example.org: 550 5.1.1 no such user"), HandedOver("handed over")},
         {"EHLO client.test\r\n" + TransactionBytes() + "QUIT\r\n"}},
        {"every one of several recipients refused: no DATA",
         script::Concat({Greeting(), Replies({"250 reset", "250 ok", "550 no", "450 later", "550 no"})}),
         {Connect(),
          SendMessage("MessageError: Every recipient was refused: alerts@example.org (550 no), copy@example.org "
                      "(450 later), hidden@example.org (550 no)"),
          HandedOver("kept")},
         {"EHLO client.test\r\nRSET\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n"
          "RCPT TO:<copy@example.org>\r\nRCPT TO:<hidden@example.org>\r\nQUIT\r\n"}},
        {"a message without recipients sends nothing",
         Greeting(),
         {Connect(), Edit(WithoutCopies), Edit([](MailMessage& m) { m.Recipients.Clear(); }),
          SendMessage("MessageError: The message has no recipient.")},
         {"EHLO client.test\r\nQUIT\r\n"}},
        {"a refused message was handed over",
         script::Concat({Greeting(), Transaction({"250 ok", "250 ok", "250 ok"}, "554 5.6.0 Line too long")}),
         {Connect(), SendMessage("ProtocolReplyError 554: 5.6.0 Line too long\r\n"), HandedOver("handed over")},
         {"EHLO client.test\r\n" + TransactionBytes() + "QUIT\r\n"}},
        // RFC 6531: the server must offer SMTPUTF8, and MAIL FROM asks for it.
        {"an address beyond ASCII goes as UTF-8 where the server offers SMTPUTF8",
         script::Concat({{script::SendLine("220 mail.test"), script::ReadLine(),
                          script::Send("250-mail.test\r\n250 SMTPUTF8\r\n")},
                         Transaction(),
                         quit}),
         {Edit([](MailMessage& m) { m.BccList[0].Address = "jörg@bücher.example"; }), Connect(), SendMessage("")},
         {"EHLO client.test\r\nRSET\r\nMAIL FROM:<me@example.org> SMTPUTF8\r\nRCPT TO:<alerts@example.org>\r\n"
          "RCPT TO:<copy@example.org>\r\nRCPT TO:<jörg@bücher.example>\r\nDATA\r\n" +
          CrLf(kMessageLines) + ".\r\nQUIT\r\n"}},
        {"without SMTPUTF8 an address beyond ASCII is refused unsent",
         script::Concat({Greeting(), Transaction({"250 ok", "250 ok"}), quit}),
         {Edit([](MailMessage& m) { m.BccList[0].Address = "jörg@bücher.example"; }), Connect(),
          SendMessage("jörg@bücher.example: the address is beyond ASCII and the server does not offer SMTPUTF8")},
         {"EHLO client.test\r\nRSET\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n"
          "RCPT TO:<copy@example.org>\r\nDATA\r\n" +
          CrLf(kMessageLines) + ".\r\nQUIT\r\n"}},
        // After the failures the client connects as new.
        {"a failed greeting or HELO disconnects",
         {script::SendLine("554 go away"), script::Accept(), script::SendLine("220 hi"), script::ReadLine(),
          script::SendLine("502 no EHLO"), script::ReadLine(), script::SendLine("501 no HELO either"), script::Accept(),
          script::SendLine("220 hi"), script::ReadLine(), script::SendLine("250 hi")},
         {Connect("ProtocolReplyError 554: go away\r\n"), Connected("closed"),
          Connect("ProtocolReplyError 501: no HELO either\r\n"), Connected("closed"), Connect(),
          Connected("connected")},
         {"QUIT\r\n", "EHLO client.test\r\nHELO client.test\r\nQUIT\r\n", "EHLO client.test\r\nQUIT\r\n"}},
        // No HELO fallback, no AUTH, no password: only the farewell.
        {"STARTTLS not offered fails before any login",
         {script::SendLine("220 hi"), script::ReadLine(), script::Send("250-mail.test\r\n250 AUTH LOGIN\r\n"),
          script::Accept(), script::SendLine("220 hi"), script::ReadLine(), script::Send("502 no EHLO\r\n")},
         {Set(&SmtpClient::Security, MailSecurity::StartTls), LogIn(), Connect(notOffered), Connected("closed"),
          Connect(notOffered), Connected("closed")},
         {"EHLO client.test\r\nQUIT\r\n", "EHLO client.test\r\nQUIT\r\n"}},
        {"garbage and silence give errors",
         {script::SendLine("hello there"), script::Accept()},
         {Connect("ProtocolReplyError 0: o there\r\n"), Set(&SmtpClient::ReadTimeout, 200),
          Connect("ReadTimeoutError: Read Timeout"), Connected("closed")},
         {"QUIT\r\n", "QUIT\r\n"}},
    });
}

TEST_F(SmtpClientTest, ServerClosingAtAnyPointGivesAnError) {
    const Steps full = script::Concat({Greeting(), Transaction()});
    for (size_t cut = 0; cut < full.size(); ++cut) {
        SCOPED_TRACE("cut after step " + std::to_string(cut));
        Steps steps(full.begin(), full.begin() + static_cast<long>(cut));
        steps.push_back(script::Close());
        test::ScriptedTransport transport(steps);
        SmtpClient client;
        Prepare(client);
        client.SetIOHandler(&transport);
        EXPECT_THROW(
            {
                client.Connect();
                client.Send(message);
            },
            NetError);
        client.Disconnect();
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(SmtpClientTest, LineBreaksInHeaderTextsNeverReachTheWire) {
    test::ScriptedTransport transport({script::SendLine("220 hi"), script::ReadLine(), script::SendLine("250 hi")});
    SmtpClient client;
    Prepare(client);
    client.SetIOHandler(&transport);
    client.Connect();
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
    EXPECT_EQ(transport.Sent(), std::vector<std::string>{"EHLO client.test\r\nQUIT\r\n"});
}

TEST(SmtpClientPropertiesTest, PropertyCouplings) {
    SmtpClient client;
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

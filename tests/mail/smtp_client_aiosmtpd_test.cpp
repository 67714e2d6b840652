// The SMTP client against a real server (aiosmtpd on loopback).

#include <gtest/gtest.h>

#include "mail/mail_errors.h"
#include "mail/smtp_client.h"
#include "support/loopback.h"
#include "support/reply_error.h"
#include "support/scripted_peer.h"
#include "support/smtp_server.h"
#include "support/test_pki.h"

namespace corvasse {
namespace {

using test::SmtpServer;

class SmtpClientAiosmtpdTest : public ::testing::Test {
protected:
    void SetUp() override {
        client.ReadTimeout = test::kClientReadTimeoutMs;
        message.From.Address = "me@example.org";
        message.From.Name = "me@example.org";
        message.Sender.Address = "alerts@example.org";
        message.Sender.Name = "Watcher";
        message.Recipients.AddressListText("<alerts@example.org>");
        message.BccList.AddressListText("hidden@example.org");
        message.Subject = "Corvasse Alert";
        message.CharSet = "iso-8859-1";
        TextPart& part = message.AddTextPart({"line one", ".", "\fFF line"});
        part.SetContentType("text/plain");
        part.SetContentTransfer("7bit");
    }

    SmtpClient client;
    MailMessage message;
};

TEST_F(SmtpClientAiosmtpdTest, ServerThatRequiresLoginGetsAuthLogin) {
    SmtpServer server(SmtpServer::Login::Required);
    client.SetAuthenticationType(AuthType::Login);
    client.Username = test::kSmtpTestUser;
    client.Password = test::kSmtpTestPassword;
    test::ConnectTo(client, server);
    EXPECT_NE(std::find(client.AuthSchemes().begin(), client.AuthSchemes().end(), "LOGIN"), client.AuthSchemes().end());
    client.Send(message);
    client.Send(message);  // the second transaction needs no new login
    client.Disconnect();

    ASSERT_TRUE(server.WaitForMessages(2)) << server.Output();
    for (const test::ReceivedMail& mail : server.Messages()) {
        EXPECT_EQ(mail.authUser, test::kSmtpTestUser);
        EXPECT_EQ(mail.mailFrom, "me@example.org");
        EXPECT_EQ(mail.rcptTo, (std::vector<std::string>{"alerts@example.org", "hidden@example.org"}));
        std::vector<std::string> lines = test::SplitCrLfLines(mail.content);
        ASSERT_GE(lines.size(), 20u) << mail.content;
        EXPECT_EQ(lines[0], "From: \"me@example.org\" <me@example.org>");
        EXPECT_EQ(lines[2], "To: alerts@example.org");
        EXPECT_EQ(lines[6], "MIME-Version: 1.0");
        EXPECT_EQ(lines[7], "Sender: Watcher <alerts@example.org>");
        // The stuffed full stop arrives as the single one it was.
        const std::vector<std::string> body(lines.end() - 6, lines.end());
        EXPECT_EQ(body, (std::vector<std::string>{"", "line one", ".", "\fFF line", "",
                                                  "--=_MoreStuf_2zzz1234sadvnqw3nerasdf--"}));
        EXPECT_EQ(mail.content.find("hidden"), std::string::npos);
    }
}

TEST_F(SmtpClientAiosmtpdTest, WrongPasswordIsRefused) {
    SmtpServer server(SmtpServer::Login::Required);
    client.SetAuthenticationType(AuthType::Login);
    client.Username = test::kSmtpTestUser;
    client.Password = "wrong";
    test::ConnectTo(client, server);
    test::ExpectReplyCode([&] { client.Send(message); }, 535);
    client.Disconnect();
    EXPECT_TRUE(server.Messages().empty());
}

TEST_F(SmtpClientAiosmtpdTest, WithoutLoginTheServerRefusesTheSender) {
    SmtpServer server(SmtpServer::Login::Required);
    test::ConnectTo(client, server);
    test::ExpectReplyCode([&] { client.Send(message); }, 530);
    client.Disconnect();
}

TEST_F(SmtpClientAiosmtpdTest, ServerWithoutAuthGetsNoLoginEvenWhenAskedFor) {
    SmtpServer server(SmtpServer::Login::NotOffered);
    client.SetAuthenticationType(AuthType::Login);
    client.Username = "nobody";
    test::ConnectTo(client, server);
    EXPECT_TRUE(client.AuthSchemes().empty());
    client.Send(message);
    client.Disconnect();
    ASSERT_TRUE(server.WaitForMessages(1)) << server.Output();
    EXPECT_EQ(server.Messages()[0].authUser, "");
    EXPECT_EQ(server.Messages()[0].rcptTo.size(), 2u);
}

TEST_F(SmtpClientAiosmtpdTest, ProtectedDialoguesLogInAndDeliverOverTls) {
    test::TestCertificates();
    const struct {
        MailSecurity security;
        SmtpServer::Tls tls;
    } cases[] = {{MailSecurity::StartTls, SmtpServer::Tls::StartTls}, {MailSecurity::Tls, SmtpServer::Tls::Implicit}};
    for (const auto& c : cases) {
        // This server offers AUTH only after STARTTLS (or over implicit TLS),
        // so a delivered message proves the login went encrypted.
        SmtpServer server(SmtpServer::Login::Required, "127.0.0.1", c.tls);
        SmtpClient client;
        client.ReadTimeout = test::kClientReadTimeoutMs;
        client.Security = c.security;
        client.SetAuthenticationType(AuthType::Login);
        client.Username = test::kSmtpTestUser;
        client.Password = test::kSmtpTestPassword;
        std::vector<std::string> statuses;
        client.OnStatus = [&](Status, const std::string& text) { statuses.push_back(text); };
        test::ConnectTo(client, server);
        client.Send(message);
        client.Disconnect();
        ASSERT_TRUE(server.WaitForMessages(1)) << server.Output();
        EXPECT_EQ(server.Messages()[0].authUser, test::kSmtpTestUser);
        const auto connected = std::find(statuses.begin(), statuses.end(), "Connected.");
        ASSERT_LT(connected + 1, statuses.end());
        EXPECT_EQ(connected[1].rfind("TLS established (TLSv1.", 0), 0u) << connected[1];
    }
}

}  // namespace
}  // namespace corvasse

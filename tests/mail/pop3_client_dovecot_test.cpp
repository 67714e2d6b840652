// The POP3 client against a real server (dovecot on loopback).

#include <gtest/gtest.h>

#include "mail/mail_errors.h"
#include "mail/pop3_client.h"
#include "support/loopback.h"
#include "support/pop3_server.h"
#include "support/reply_error.h"
#include "support/scripted_peer.h"
#include "support/test_pki.h"

namespace corvasse {
namespace {

using test::Pop3Server;

class Pop3ClientDovecotTest : public ::testing::Test {
protected:
    Pop3ClientDovecotTest() {
        client.ReadTimeout = test::kClientReadTimeoutMs;
        client.Username = test::kPop3TestUser;
        client.Password = test::kPop3TestPassword;
    }

    Pop3Server server;
    Pop3Client client;
};

TEST_F(Pop3ClientDovecotTest, UserPassAndStat) {
    test::ConnectTo(client, server);
    EXPECT_EQ(client.CheckMessages(), test::kPop3TestMessages);
    EXPECT_EQ(client.LastReply.Text.front(),
              std::to_string(test::kPop3TestMessages) + " " + std::to_string(server.MailboxBytes()));
    client.Disconnect();
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(Pop3ClientDovecotTest, ApopLogin) {
    client.APOP = true;
    test::ConnectTo(client, server);
    EXPECT_EQ(client.CheckMessages(), test::kPop3TestMessages);
    client.Disconnect();
}

TEST_F(Pop3ClientDovecotTest, WrongPasswordFailsWithCodeTwoAndDisconnects) {
    client.Password = "wrong";
    const auto error = test::ExpectReplyCode([&] { test::ConnectTo(client, server); }, kPop3Err);
    if (error) {
        EXPECT_NE(std::string(error->what()).find("Authentication failed"), std::string::npos) << error->what();
    }
    EXPECT_FALSE(client.IsConnected());
}

TEST(Pop3ClientDovecotTlsTest, StlsAndPop3sLogInOverTls) {
    test::TestCertificates();
    Pop3Server server("127.0.0.1", 0, Pop3Server::Tls::Offered);
    for (MailSecurity security : {MailSecurity::StartTls, MailSecurity::Tls}) {
        Pop3Client client;
        client.Security = security;
        client.ReadTimeout = test::kClientReadTimeoutMs;
        client.Host = server.Host();
        client.Port = security == MailSecurity::Tls ? server.TlsPort() : server.Port();
        client.Username = test::kPop3TestUser;
        client.Password = test::kPop3TestPassword;
        std::string lastStatus;
        client.OnStatus = [&](Status, const std::string& text) { lastStatus = text; };
        client.Connect();
        EXPECT_EQ(lastStatus.rfind("TLS established (TLSv1.", 0), 0u) << lastStatus;
        EXPECT_EQ(client.CheckMessages(), test::kPop3TestMessages);
        client.Disconnect();
    }
}

}  // namespace
}  // namespace corvasse

#include "app/alert/alert_delivery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "app/alert/alert_report.h"
#include "app/settings/channel_settings.h"
#include "app/settings/mail_settings.h"
#include "app/view/mail_event_report.h"
#include "app/watch_rig.h"
#include "common/base64.h"
#include "common/byte_string.h"
#include "common/utf8_text.h"
#include "mail/mail_errors.h"
#include "mail/mail_message.h"
#include "mail/pop3_client.h"
#include "mail/smtp_client.h"
#include "net/tls_io_handler.h"
#include "support/expect_throw.h"
#include "support/isolated_network.h"
#include "support/loopback.h"
#include "support/mail_reader.h"
#include "support/message_lines.h"
#include "support/notice_server.h"
#include "support/pop3_server.h"
#include "support/reply_error.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/smtp_server.h"

namespace corvasse {
namespace {

using test::PeerStep;
using test::ScriptedPeer;
namespace peer = test::peer;
using Lines = std::vector<std::string>;

const std::regex kReportDate(test::kReportDatePattern);

// The lines of the alert as they go on the wire after DATA.
Lines AlertLines(const std::string& sender, const std::string& charSet = "iso-8859-1") {
    return test::AlertMessageLines(
        {.ownAddress = "me@example.org",
         .sendTo = "alerts@example.org",
         .sender = sender,
         .charSet = charSet,
         .report = {test::kAnyReportDate, "Watching address: http://127.0.0.1:8080/",
                    "Expected file size:100, Actual file size:2048",
                    "HTTP reply #:HTTP/1.1 200 OK, Last Error Number was 200", "----------"}});
}

// An SMTP server's side of one alert: greeting, EHLO offering LOGIN, RSET,
// the login when asked for, MAIL, RCPT, DATA, the message and QUIT.
std::vector<PeerStep> SmtpDialogue(bool login, size_t messageLines) {
    const std::vector<PeerStep> authLogin = {peer::ReadLine(), peer::SendLine("334 VXNlcm5hbWU6"),
                                             peer::ReadLine(), peer::SendLine("334 UGFzc3dvcmQ6"),
                                             peer::ReadLine(), peer::SendLine("235 ok")};
    return peer::Concat(
        {{peer::SendLine("220 mail.test ESMTP"), peer::ReadLine(), peer::Send("250-mail.test\r\n250 AUTH LOGIN\r\n"),
          peer::ReadLine(), peer::SendLine("250 reset")},
         login ? authLogin : std::vector<PeerStep>{},
         {peer::ReadLine(), peer::SendLine("250 ok"), peer::ReadLine(), peer::SendLine("250 ok"), peer::ReadLine(),
          peer::SendLine("354 go ahead")},
         peer::ReadLines(messageLines + 1),
         {peer::SendLine("250 queued"), peer::ReadLine()}});
}

std::vector<PeerStep> Pop3Dialogue() {
    return {peer::SendLine("+OK ready"),     peer::ReadLine(), peer::SendLine("+OK"),        peer::ReadLine(),
            peer::SendLine("+OK logged in"), peer::ReadLine(), peer::SendLine("+OK 3 1200"), peer::ReadLine()};
}

// The lines of what the client sent after DATA, up to the final ".".
Lines MessageLinesOf(const std::string& received) {
    const size_t start = received.find("DATA\r\n") + 6;
    const size_t end = received.find("\r\n.\r\n", start);
    return test::SplitCrLfLines(received.substr(start, end + 2 - start));
}

class AlertDeliveryTest : public ::testing::Test, protected test::WatchRig {
protected:
    AlertDeliveryTest() {
        pop3Client.SetIOHandler(&mailSocketHandler);
        smtpClient.SetIOHandler(&mailSocketHandler);
        pop3Client.ReadTimeout = test::kClientReadTimeoutMs;
        smtpClient.ReadTimeout = test::kClientReadTimeoutMs;
        pop3Events.Bind(pop3Client);
        smtpEvents.Bind(smtpClient);

        form.texts[Field::txtURL2watch] = "http://127.0.0.1:8080/";
        form.texts[Field::txtFileSize] = "100";
        form.texts[Field::txtYourEmail] = "me@example.org";
        form.texts[Field::txtSendto] = "alerts@example.org";
        form.texts[Field::txtSendto2] = "second@example.org";
        outcome.statusLine = "HTTP/1.1 200 OK";
        outcome.statusCode = 200;
        outcome.pageLength = 2048;
        Set("checktype", "filesize");
        Set("txtSMTPhost", "127.0.0.1");
    }

    void Set(const char* key, const std::string& value) { settings.WriteSetting("Settings", key, value); }
    void LogIn(const std::string& user, const std::string& password) {
        Set("txtUserid", user);
        Set("txtPass", password);
        Set("cboAuthType", "atLogin");
    }

    // The watch the form and the settings describe, and one of another kind
    // or target.
    WatchSpec Described() const { return ReadWatchSpec(form, settings); }
    WatchSpec Described(WatchKind kind, const std::string& target) const {
        WatchSpec watchSpec = Described();
        watchSpec.kind = kind;
        watchSpec.target = target;
        return watchSpec;
    }
    void SendAlert() { delivery.SendAlert(Described(), outcome); }

    WatchOutcome outcome;
    AlertReport report{log, view};
    TlsIOHandler mailSocketHandler;
    Pop3Client pop3Client;
    SmtpClient smtpClient;
    MailMessage message;
    MailEventReport pop3Events{view, MailProtocol::Pop3};
    MailEventReport smtpEvents{view, MailProtocol::Smtp};
    AlertDelivery delivery{report, view, pop3Client, smtpClient, message};
};

TEST_F(AlertDeliveryTest, PopBeforeSmtpWithLoginShowsEveryStep) {
    const Lines expected = AlertLines("alice <alerts@example.org>");
    ScriptedPeer pop3(peer::Concat({Pop3Dialogue(), {peer::Close()}}));
    ScriptedPeer smtp(peer::Concat({SmtpDialogue(true, expected.size()), {peer::Close()}}));
    pop3Client.Port = pop3.Port();
    Set("ckPOPbefore", "y");
    LogIn("alice", "wonder land");
    Set("port", std::to_string(smtp.Port()));

    SendAlert();

    ASSERT_TRUE(pop3.WaitClosed());
    ASSERT_TRUE(smtp.WaitClosed());
    EXPECT_EQ(pop3.Failure(), "");
    EXPECT_EQ(smtp.Failure(), "");
    EXPECT_EQ(pop3.Received(), "USER alice\r\nPASS wonder land\r\nSTAT\r\nQUIT\r\n");
    const std::string sent = smtp.Received();
    EXPECT_EQ(sent.substr(sent.find("\r\n") + 2, sent.find("DATA\r\n") - sent.find("\r\n") - 2),
              "RSET\r\nAUTH LOGIN\r\n" + EncodeBase64("alice") + "\r\n" + EncodeBase64("wonder land") +
                  "\r\nMAIL FROM:<me@example.org>\r\nRCPT TO:<alerts@example.org>\r\n");
    test::ExpectMessageLines(MessageLinesOf(sent), expected);
    EXPECT_TRUE(sent.ends_with("\r\n.\r\nQUIT\r\n"));

    EXPECT_EQ(view.lines,
              (Lines{"Sending e-mail alert...", "*** Connecting via POP...", "POP3: Connected.", "POP3 Connected...",
                     "*** POP connected...", "*** Total Messages: 3", "POP3: Disconnecting.", "POP3 Disconnected...",
                     "POP3: Disconnected.", "SMTP: Connected.", "SMTP Connected...", "SMTP: Encoding text",
                     "SMTP done...", "SMTP: Disconnecting.", "SMTP Disconnected...", "SMTP: Disconnected."}));
    EXPECT_EQ(view.statusHistory.front(), "Sending e-mail alert...");
    // The report went to the log before anything else, without the footer.
    const std::string logged = test::ReadFile(logFile);
    EXPECT_TRUE(std::regex_search(logged, kReportDate));
    EXPECT_TRUE(logged.ends_with("----------\n\r\n"));
    // The part is gone again; the addresses stay until the next alert.
    EXPECT_TRUE(message.MessageParts.empty());
    EXPECT_FALSE(pop3Client.IsConnected());
}

TEST_F(AlertDeliveryTest, SettingsThatReadNaKeepThePreviousAlertsValues) {
    const Lines first = AlertLines("alice <alerts@example.org>", "utf-8");
    const Lines second = AlertLines("\"me@example.org\" <alerts@example.org>");
    ScriptedPeer smtp(peer::Concat(
        {SmtpDialogue(true, first.size()), {peer::Accept()}, SmtpDialogue(true, second.size()), {peer::Close()}}));
    LogIn("alice", "wonder land");
    Set("port", std::to_string(smtp.Port()));
    Set("charSet", "utf-8");
    SendAlert();

    for (const char* key : {"txtUserid", "txtPass", "cboAuthType", "port", "charSet"}) {
        settings.DeleteSetting("Settings", key);
    }
    SendAlert();

    ASSERT_TRUE(smtp.WaitClosed());
    EXPECT_EQ(smtp.Failure(), "");
    ASSERT_EQ(smtp.ConnectionCount(), 2u);
    test::ExpectMessageLines(MessageLinesOf(smtp.Received(0)), first);
    // User name, password, login and port carried over; the sender's name and
    // the charset did not.
    EXPECT_NE(smtp.Received(1).find("AUTH LOGIN\r\n" + EncodeBase64("alice") + "\r\n" + EncodeBase64("wonder land")),
              std::string::npos);
    test::ExpectMessageLines(MessageLinesOf(smtp.Received(1)), second);
}

TEST_F(AlertDeliveryTest, MailSecurityPicksThePortsThatAreNotSet) {
    // Nothing listens on these ports of 127.0.0.1: each alert fails at its
    // connect, after choosing the port.
    const struct {
        const char* security;  // nullptr: not set
        const char* port;
        int smtpPort;
    } steps[] = {
        {"tls", nullptr, kSmtpTlsPort},
        {"starttls", nullptr, kSmtpStartTlsPort},
        {nullptr, nullptr, kSmtpDefaultPort},  // not the 587 the alert before used
        {nullptr, "2", 2},
        {"tls", nullptr, kSmtpTlsPort},
        {"none", nullptr, 2},  // a missing port keeps the last one set, as ever
        {"starttls", "3", 3},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.security ? step.security : "-") + " " + (step.port ? step.port : "-"));
        for (auto [key, value] : {std::pair{"mailSecurity", step.security}, std::pair{"port", step.port}}) {
            if (value) {
                Set(key, value);
            } else {
                settings.DeleteSetting("Settings", key);
            }
        }
        EXPECT_THROW(SendAlert(), NetError);
        EXPECT_EQ(smtpClient.Port, step.smtpPort);
    }
    Set("ckPOPbefore", "y");
    for (auto [security, pop3Port] : {std::pair{"tls", kPop3TlsPort}, std::pair{"starttls", kPop3DefaultPort}}) {
        Set("mailSecurity", security);
        EXPECT_THROW(SendAlert(), NetError);
        EXPECT_EQ(pop3Client.Port, pop3Port) << security;
    }
}

TEST_F(AlertDeliveryTest, AuthTypeOtherThanLoginSendsNoAuth) {
    const Lines expected = AlertLines("alice <alerts@example.org>");
    ScriptedPeer smtp(peer::Concat({SmtpDialogue(false, expected.size()), {peer::Close()}}));
    Set("txtUserid", "alice");
    Set("cboAuthType", "atNone");
    Set("port", std::to_string(smtp.Port()));
    SendAlert();
    ASSERT_TRUE(smtp.WaitClosed());
    EXPECT_EQ(smtp.Failure(), "");
    EXPECT_EQ(smtp.Received().find("AUTH"), std::string::npos);
}

TEST_F(AlertDeliveryTest, APortOrSendToThatCannotBeReadFailsBeforeAnySmtpConnection) {
    ScriptedPeer smtp({peer::SendLine("220 never seen")});
    Set("port", "25x");
    test::ExpectThrowWithMessage<ConversionError>([&] { SendAlert(); }, "'25x' is not a valid integer value");
    EXPECT_EQ(smtp.ConnectionCount(), 0u);
    EXPECT_EQ(view.lines, Lines{"Sending e-mail alert..."});
    EXPECT_NE(test::ReadFile(logFile).find("Expected file size:100, Actual file size:2048"), std::string::npos);
    Set("port", std::to_string(smtp.Port()));
    for (const auto& [sendTo, message] :
         {std::pair{"a@example.org b@example.org",
                    "\"a@example.org b@example.org\": two addresses need a comma between them"},
          std::pair{" , , ", "No address to send to: the send-to field holds none."}}) {
        form.texts[Field::txtSendto] = sendTo;
        test::ExpectThrowWithMessage<NetError>([&] { SendAlert(); }, message);
    }
    EXPECT_EQ(smtp.ConnectionCount(), 0u);
}

TEST_F(AlertDeliveryTest, RefusedPopLoginEndsTheAlertBeforeSmtp) {
    ScriptedPeer pop3({peer::SendLine("+OK ready"), peer::ReadLine(), peer::SendLine("+OK"), peer::ReadLine(),
                       peer::SendLine("-ERR [AUTH] Authentication failed."), peer::ReadUntilClose()});
    ScriptedPeer smtp({peer::SendLine("220 never seen")});
    pop3Client.Port = pop3.Port();
    Set("ckPOPbefore", "y");
    Set("port", std::to_string(smtp.Port()));
    test::ExpectReplyCode([&] { SendAlert(); }, kPop3Err);
    EXPECT_EQ(smtp.ConnectionCount(), 0u);
    EXPECT_FALSE(pop3Client.IsConnected());
    // "n/a" user name and password go to the POP3 server as they read.
    ASSERT_TRUE(pop3.WaitClosed());
    EXPECT_EQ(pop3.Received(), "USER n/a\r\nPASS n/a\r\nQUIT\r\n");
    EXPECT_NE(test::ReadFile(logFile).find("----------"), std::string::npos);
}

TEST_F(AlertDeliveryTest, FailureAfterConnectingClosesTheConnectionForTheNextAlert) {
    const Lines expected = AlertLines("\"me@example.org\" <alerts@example.org>");
    ScriptedPeer smtp(
        peer::Concat({{peer::SendLine("220 mail.test"), peer::ReadLine(), peer::SendLine("250 mail.test"),
                       peer::ReadLine(), peer::SendLine("250 reset"), peer::ReadLine(), peer::SendLine("250 ok"),
                       peer::ReadLine(), peer::SendLine("550 no such user"), peer::ReadLine(), peer::Accept()},
                      SmtpDialogue(false, expected.size()),
                      {peer::Close()}}));
    Set("port", std::to_string(smtp.Port()));
    EXPECT_THROW(SendAlert(), ProtocolReplyError);
    EXPECT_FALSE(smtpClient.IsConnected());
    EXPECT_FALSE(pop3Client.IsConnected());
    SendAlert();
    ASSERT_TRUE(smtp.WaitClosed());
    EXPECT_EQ(smtp.Failure(), "");
    EXPECT_TRUE(smtp.Received(0).ends_with("RCPT TO:<alerts@example.org>\r\nQUIT\r\n"));
    test::ExpectMessageLines(MessageLinesOf(smtp.Received(1)), expected);
}

TEST_F(AlertDeliveryTest, LineBreakInTheSenderNameNeverReachesTheWire) {
    ScriptedPeer smtp(
        {peer::SendLine("220 mail.test"), peer::ReadLine(), peer::SendLine("250 mail.test"), peer::ReadUntilClose()});
    Set("port", std::to_string(smtp.Port()));
    Set("txtUserid", "alice\r\nBcc: victim@example.org");
    EXPECT_THROW(SendAlert(), MessageError);
    ASSERT_TRUE(smtp.WaitClosed());
    EXPECT_EQ(smtp.Received().substr(smtp.Received().find("\r\n") + 2), "QUIT\r\n");
}

TEST_F(AlertDeliveryTest, RealServersReceiveTheAlert) {
    test::SmtpServer smtpServer(test::SmtpServer::Login::Required);
    test::Pop3Server pop3Server;
    pop3Client.Port = pop3Server.Port();
    Set("ckPOPbefore", "y");
    LogIn(test::kSmtpTestUser, test::kSmtpTestPassword);
    Set("port", std::to_string(smtpServer.Port()));

    SendAlert();

    ASSERT_TRUE(smtpServer.WaitForMessages(1)) << smtpServer.Output();
    const test::ReceivedMail mail = smtpServer.Messages()[0];
    EXPECT_EQ(mail.authUser, test::kSmtpTestUser);
    EXPECT_EQ(mail.mailFrom, "me@example.org");
    EXPECT_EQ(mail.rcptTo, Lines{"alerts@example.org"});
    test::ExpectMessageLines(test::SplitCrLfLines(mail.content), AlertLines("alice <alerts@example.org>"));
    EXPECT_NE(std::find(view.lines.begin(), view.lines.end(), "*** Total Messages: 3"), view.lines.end());
}

TEST_F(AlertDeliveryTest, IpFamilyKeepsBothMailConnectionsToItsFamily) {
    test::ScopedNetNamespace network;  // its loopback has ::1, whatever the machine's has
    test::SmtpServer smtpServer(test::SmtpServer::Login::Required, "::1");
    test::Pop3Server pop3Server("::1");
    pop3Client.Port = pop3Server.Port();
    Set("txtSMTPhost", "localhost");
    LogIn(test::kSmtpTestUser, test::kSmtpTestPassword);
    Set("port", std::to_string(smtpServer.Port()));
    const struct {
        const char* popBefore;
        const char* family;
        bool popConnected;
        size_t delivered;
    } cases[] = {
        // Nothing listens on 127.0.0.1: the first connection of each is refused.
        {"n", "ipv4", false, 0},
        {"y", "ipv4", false, 0},
        {"y", "ipv6", true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.popBefore) + " " + c.family);
        Set("ckPOPbefore", c.popBefore);
        Set("ipFamily", c.family);
        view.lines.clear();
        if (c.delivered == 0) {
            test::ExpectThrowWithMessage<SocketError>([&] { SendAlert(); },
                                                      "Socket Error # 10061\r\nConnection refused.");
        } else {
            SendAlert();
            ASSERT_TRUE(smtpServer.WaitForMessages(c.delivered)) << smtpServer.Output();
        }
        EXPECT_EQ(std::count(view.lines.begin(), view.lines.end(), "*** POP connected..."), c.popConnected ? 1 : 0);
        EXPECT_EQ(smtpServer.Messages().size(), c.delivered);
    }
    // The test mail keeps to the family the form shows, not the saved one.
    form.texts[Field::txtSMTPhost] = "localhost";
    form.texts[Field::txtPort] = std::to_string(smtpServer.Port());
    form.texts[Field::cboAddressFamily] = "IPv4 only";
    test::ExpectThrowWithMessage<SocketError>([&] { delivery.SendTest(FormMailSettings(form, settings), {}, "", ""); },
                                              "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(smtpServer.Messages().size(), 1u);
}

TEST_F(AlertDeliveryTest, AnAlertSaysWhatItCarriesStaysSevenBitAndGoesToEveryAddress) {
    const std::string plainUrl = "http://127.0.0.1:8080/", umlautUrl = plainUrl + "Gr\xC3\xB6\xC3\x9F" + "e";
    const std::string juergen = "J\xC3\xBCrgen";
    const struct {
        const char* name;
        std::string url = "http://127.0.0.1:8080/";
        const char* user = nullptr;  // none set
        std::string charSet = "";    // "" for none set
        Lines expected;              // lines the message holds, among others
        std::string sendTo = "alerts@example.org";
        Lines recipients = {"alerts@example.org"};
    } cases[] = {
        {"report in UTF-8",
         umlautUrl,
         "alice",
         "",
         {"\tcharset=\"utf-8\"", "Sender: alice <alerts@example.org>", "Content-Type: text/plain; charset=\"utf-8\"",
          "Content-Transfer-Encoding: quoted-printable", "Watching address: http://127.0.0.1:8080/Gr=C3=B6=C3=9Fe",
          "=0CCorvasse web watch alert, published by the Corvasse project."}},
        {"charset set by hand",
         umlautUrl,
         juergen.c_str(),
         "iso-8859-15",
         {"\tcharset=\"iso-8859-15\"", "Sender: =?iso-8859-15?Q?J=C3=BCrgen?= <alerts@example.org>",
          "Content-Type: text/plain; charset=\"iso-8859-15\"", "Content-Transfer-Encoding: quoted-printable"}},
        {"only the name beyond ASCII",
         plainUrl,
         juergen.c_str(),
         "",
         {"\tcharset=\"utf-8\"", "Sender: =?utf-8?Q?J=C3=BCrgen?= <alerts@example.org>", "Content-Type: text/plain",
          "Content-Transfer-Encoding: 7bit", "Watching address: http://127.0.0.1:8080/"}},
        // Read as the window's field shows it: one Latin-1 character per byte.
        {"a name stored in Latin-1",
         plainUrl,
         "J\xFCrgen",
         "",
         {"\tcharset=\"utf-8\"", "Sender: =?utf-8?Q?J=C3=BCrgen?= <alerts@example.org>"}},
        {"several send-to addresses: one message, a recipient each",
         plainUrl,
         nullptr,
         "",
         {"To: alerts@example.org, ops@example.org", "Sender: \"me@example.org\" <alerts@example.org>"},
         " alerts@example.org,ops@example.org , ,",
         {"alerts@example.org", "ops@example.org"}},
        {.name = "display names, comments and a quoted comma",
         .expected = {"To: \"Ops Team\" <ops@example.org>, \"Smith, J\" <j@example.org>, b@example.org",
                      "Sender: \"me@example.org\" <ops@example.org>"},
         .sendTo = "Ops Team <ops@example.org>, \"Smith, J\" <j@example.org>, b@example.org (night shift)",
         .recipients = {"ops@example.org", "j@example.org", "b@example.org"}},
        {.name = "a refused recipient leaves the others theirs",
         .expected = {"To: refused@example.org, ops@example.org"},
         .sendTo = "refused@example.org, ops@example.org",
         .recipients = {"ops@example.org"}},
    };
    test::SmtpServer smtpServer(test::SmtpServer::Login::NotOffered);
    Set("port", std::to_string(smtpServer.Port()));
    size_t sent = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form.texts[Field::txtURL2watch] = c.url;
        form.texts[Field::txtSendto] = c.sendTo;
        for (auto [key, value] : {std::pair{"txtUserid", std::string(c.user ? c.user : "")}, {"charSet", c.charSet}}) {
            if (value.empty()) {
                settings.DeleteSetting("Settings", key);
            } else {
                Set(key, value);
            }
        }
        SendAlert();
        ASSERT_TRUE(smtpServer.WaitForMessages(++sent)) << smtpServer.Output();
        const test::ReceivedMail mail = smtpServer.Messages().back();
        EXPECT_EQ(mail.rcptTo, c.recipients);
        const std::string refusal = "Not sent to refused@example.org: 550 5.1.1 <refused@example.org>: no such user";
        EXPECT_EQ(std::count(view.lines.begin(), view.lines.end(), refusal), c.sendTo.starts_with("refused") ? 1 : 0);
        EXPECT_TRUE(IsAscii(mail.content)) << mail.content;
        const Lines lines = test::SplitCrLfLines(mail.content);
        for (const std::string& line : c.expected) {
            EXPECT_TRUE(std::find(lines.begin(), lines.end(), line) != lines.end()) << line;
        }
    }
}

TEST_F(AlertDeliveryTest, OutageTestAndRecoveryMailsGoThroughTheSameDelivery) {
    const std::string footer = "\n\fCorvasse web watch alert, published by the Corvasse project.\n\f\n";
    const std::string webLines =
        "Watching address: http://127.0.0.1:8080/\nExpected file size:100, Actual file size:2048\n"
        "HTTP reply #:HTTP/1.1 200 OK, Last Error Number was 200\n";
    const std::string recovery =
        "12/08/2026, 02:06 PM\nWatching address: http://127.0.0.1:8080/\nBack up after 4 min\n"
        "Down from 2026-12-08 14:02:07 to 2026-12-08 14:06:07\nFailed watches: 3\n"
        "First failure: Read Timeout\nLast failure: HTTP/1.1 404 Not Found\n";
    const std::string longUrl = "http://127.0.0.1:8080/?token=" + std::string(971, 'a');
    test::SmtpServer smtpServer(test::SmtpServer::Login::NotOffered);
    // The watches' mails follow the store, the test mail the form.
    Set("port", std::to_string(smtpServer.Port()));
    const struct {
        const char* name;
        std::function<void()> send;
        std::string subject;
        std::string sending;
        std::string text;  // after the date line
        bool logged;
    } rows[] = {
        {"a web watch's outage", [&] { delivery.SendOutageAlert(Described(), outcome, {{"Reason: Read Timeout"}}); },
         "Subject: Corvasse Alert: http://127.0.0.1:8080/", "Sending e-mail alert...",
         webLines + "Reason: Read Timeout\n----------\n" + footer, true},
        {"a ping watch's reminder",
         [&] {
             delivery.SendOutageAlert(Described(WatchKind::Ping, "192.0.2.1"), outcome,
                                      {{"Reason: 301: Timeout.", "Down since 2026-12-08 14:02:07 (2 h 13 min)"}});
         },
         "Subject: Corvasse Alert: 192.0.2.1", "Sending e-mail alert...",
         "Pinging host: 192.0.2.1\nReason: 301: Timeout.\nDown since 2026-12-08 14:02:07 (2 h 13 min)\n"
         "----------\n" +
             footer,
         true},
        {"an address too long for a mail line: folded Subject, quoted-printable text",
         [&] {
             form.texts[Field::txtURL2watch] = longUrl;
             delivery.SendOutageAlert(Described(), outcome, {{"Reason: Read Timeout"}});
         },
         "Subject: Corvasse Alert: " + longUrl, "Sending e-mail alert...",
         "Watching address: " + longUrl + webLines.substr(webLines.find('\n')) + "Reason: Read Timeout\n----------\n" +
             footer,
         true},
        {"the recovery",
         [&] { delivery.SendRecovery(Described(WatchKind::Web, "http://127.0.0.1:8080/"), recovery, {}); },
         "Subject: Corvasse Recovered: http://127.0.0.1:8080/", "Sending recovery e-mail...",
         recovery.substr(recovery.find('\n') + 1) + footer, false},
        {"the test mail",
         [&] {
             settings.WriteSetting("Settings", "port", std::to_string(test::ClosedPort("127.0.0.1")));
             form.texts[Field::txtSMTPhost] = smtpServer.Host();
             form.texts[Field::txtPort] = " " + std::to_string(smtpServer.Port()) + " ";
             delivery.SendTest(FormMailSettings(form, settings), {}, "", "");
         },
         "Subject: Corvasse Test", "Sending test e-mail...", std::string(kTestMailText) + "\n", false},
    };
    size_t sent = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string logBefore = test::ReadFile(logFile);
        view.lines.clear();
        row.send();
        ASSERT_TRUE(smtpServer.WaitForMessages(++sent)) << smtpServer.Output();
        const std::string content = smtpServer.Messages().back().content;
        for (const std::string& line : test::SplitCrLfLines(content)) EXPECT_LE(line.size(), kMailLineMaxLength);
        const test::DecodedMail mail = test::DecodeMail(content);
        EXPECT_NE(std::find(mail.headers.begin(), mail.headers.end(), row.subject), mail.headers.end());
        EXPECT_TRUE(std::regex_match(mail.text.substr(0, mail.text.find('\n')), kReportDate)) << mail.text;
        EXPECT_EQ(mail.text.substr(mail.text.find('\n') + 1), row.text);
        EXPECT_EQ(view.lines.front(), row.sending);
        const std::string logged = test::ReadFile(logFile).substr(logBefore.size());
        EXPECT_EQ(logged.empty(), !row.logged) << logged;
        if (row.logged) {
            EXPECT_EQ(logged.substr(logged.find('\n') + 1), row.text.substr(0, row.text.find(footer)) + "\r\n");
        }
    }
}

TEST_F(AlertDeliveryTest, EveryNoticeGoesToNtfyAndTheWebhookAsTheyTakeItAndNoMailWithoutAHost) {
    test::NoticeServer server;
    // With no SMTP host no mail is tried: it would fail to resolve.
    Set("txtSMTPhost", "");
    Set("ntfyUrl", server.Url("/topic"));
    Set("ntfyToken", "tk_secret");
    Set("webhookUrl", server.Url("/hook"));
    form.texts[Field::txtNtfyUrl] = server.Url("/topic");
    form.texts[Field::txtWebhookUrl] = server.Url("/hook");
    const std::string url = "http://127.0.0.1:8080/";
    const std::string hostile =
        "He said \"no\" \\ C:\\tmp\nGr\xC3\xBC\xC3\x9F"
        "e\tend\x01";
    const std::string hostileJson = R"("He said \"no\" \\ C:\\tmp\nGrüße\tend\u0001")";
    const std::string hostileLine = "He said \\\"no\\\" \\\\ C:\\\\tmp Grüße end ";
    const ResultTime since = std::chrono::sys_days(std::chrono::December / 8 / 2026) + std::chrono::hours(14) +
                             std::chrono::minutes(2) + std::chrono::seconds(7);
    outcome.result.reason = hostile;
    const struct {
        const char* name;
        std::function<void()> send;
        std::string title;
        std::string priority;
        std::string tags;
        std::string json;  // as a JSON parser reads it, keys sorted
    } rows[] = {
        {"a failed watch without outage mode", [&] { delivery.SendAlert(Described(), outcome); }, "Corvasse Alert",
         "high", "rotating_light",
         R"({"address": ")" + url + R"(", "duration_s": null, "event": "down", "reason": )" + hostileJson +
             R"(, "since": null, "subject": "Corvasse Alert", "text": ")" + url + " is down: " + hostileLine +
             R"(", "watch": "Corvasse"})"},
        {"an outage's reminder for an address beyond ASCII",
         [&] {
             delivery.SendOutageAlert(
                 Described(WatchKind::Web, url + "Gr\xC3\xB6\xC3\x9F"
                                                 "e"),
                 outcome, {{"Reason: x"}, {NoticeEvent::Reminder, hostile, since, std::chrono::seconds(7980)}});
         },
         "=?UTF-8?B?" +
             EncodeBase64("Corvasse Alert: " + url +
                          "Gr\xC3\xB6\xC3\x9F"
                          "e") +
             "?=",
         "high", "rotating_light",
         R"({"address": ")" + url + R"(Größe", "duration_s": 7980, "event": "reminder", "reason": )" + hostileJson +
             R"(, "since": "2026-12-08T14:02:07Z", "subject": "Corvasse Alert: )" + url + R"(Größe", "text": ")" + url +
             "Größe is still down after 2 h 13 min: " + hostileLine + R"(", "watch": "Corvasse"})"},
        {"the recovery",
         [&] {
             delivery.SendRecovery(Described(), "Back up after 4 min\n",
                                   {NoticeEvent::Down, "Read Timeout", since, std::chrono::seconds(240)});
         },
         "Corvasse Recovered: " + url, "default", "white_check_mark",
         R"({"address": ")" + url +
             R"(", "duration_s": 240, "event": "up", "reason": "Read Timeout", )"
             R"("since": "2026-12-08T14:02:07Z", "subject": "Corvasse Recovered: )" +
             url + R"(", "text": ")" + url + R"( is back up after 4 min", "watch": "Corvasse"})"},
        {"the certificate warning",
         [&] {
             delivery.SendCertificateWarning(Described(), "Days left: 5\n",
                                             {NoticeEvent::Down, "certificate for shop.example expires in 5 days"});
         },
         "Corvasse Certificate Warning", "default", "warning",
         R"({"address": ")" + url +
             R"(", "duration_s": null, "event": "certificate", )"
             R"("reason": "certificate for shop.example expires in 5 days", "since": null, )"
             R"("subject": "Corvasse Certificate Warning", "text": ")" +
             url + R"(: certificate for shop.example expires in 5 days", "watch": "Corvasse"})"},
        {"the test, as the form stands",
         [&] {
             EXPECT_EQ(
                 delivery.SendTest(FormMailSettings(form, settings), FormChannelSettings(form, settings), "shop", url)
                     .pushed,
                 (std::vector<NoticeChannel>{NoticeChannel::Ntfy, NoticeChannel::Webhook}));
         },
         "Corvasse Test", "default", "",
         R"({"address": ")" + url +
             R"(", "duration_s": null, "event": "test", "reason": "", "since": null, )"
             R"("subject": "Corvasse Test", "text": "Corvasse test for )" +
             url + R"(: its notices reach this channel.", "watch": "shop"})"},
    };
    size_t requests = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        view.lines.clear();
        row.send();
        requests += 2;
        ASSERT_TRUE(server.WaitForRequests(requests)) << server.Output();
        const test::RecordedRequest ntfy = server.Requests()[requests - 2];
        const test::RecordedRequest hook = server.Requests()[requests - 1];
        EXPECT_TRUE(ntfy.head.starts_with("POST /topic HTTP/1.1\r\n")) << ntfy.head;
        EXPECT_EQ(ntfy.Field("Title"), row.title);
        EXPECT_EQ(ntfy.Field("Priority"), row.priority);
        EXPECT_EQ(ntfy.Field("Tags"), row.tags);
        EXPECT_EQ(ntfy.Field("Authorization"), "Bearer tk_secret");
        EXPECT_EQ(ntfy.Field("Content-Type"), "text/plain; charset=utf-8");
        EXPECT_EQ(ntfy.body.find('\f'), std::string::npos) << "no mail footer";
        EXPECT_TRUE(hook.head.starts_with("POST /hook HTTP/1.1\r\n")) << hook.head;
        EXPECT_EQ(hook.Field("Content-Type"), "application/json");
        EXPECT_EQ(hook.json, row.json);
        EXPECT_EQ(view.lines, (Lines{"Sending ntfy notice...", "Sending webhook notice..."}));
    }
    EXPECT_EQ(server.Requests()[2].body.substr(server.Requests()[2].body.find('\n') + 1),
              "Watching address: " + url +
                  "\nExpected file size:100, Actual file size:2048\n"
                  "HTTP reply #:HTTP/1.1 200 OK, Last Error Number was 200\nReason: x\n----------\n");
    EXPECT_EQ(server.Requests()[4].body, "Back up after 4 min\n");
}

TEST_F(AlertDeliveryTest, AChannelThatFailsIsSaidAndTriedAgainAloneWhileTheOthersDelivered) {
    test::NoticeServer server({{"/hook", 2}});
    test::SmtpServer smtpServer(test::SmtpServer::Login::NotOffered);
    Set("port", std::to_string(smtpServer.Port()));
    Set("ntfyUrl", server.Url("/topic"));
    Set("webhookUrl", server.Url("/hook"));
    const OutageAlert alert{{"Reason: Read Timeout"}, {NoticeEvent::Down, "Read Timeout"}};
    const std::string failed = "Not sent to the webhook: HTTP/1.1 500 Internal Server Error";
    test::ExpectThrowWithMessage<NoticePartlyFailedError>(
        [&] { delivery.SendOutageAlert(Described(), outcome, alert); }, failed);
    // Once more at the next result, and it fails again; then it goes.
    test::ExpectThrowWithMessage<NoticeFailedError>([&] { delivery.SendUndelivered(Described()); }, failed);
    delivery.SendUndelivered(Described());
    delivery.SendUndelivered(Described());
    ASSERT_TRUE(server.WaitForRequests(4)) << server.Output();
    EXPECT_EQ(server.RequestsTo("/topic").size(), 1u);
    EXPECT_EQ(server.RequestsTo("/hook").size(), 3u);
    EXPECT_EQ(server.RequestsTo("/hook").back().body, server.RequestsTo("/hook").front().body);
    ASSERT_TRUE(smtpServer.WaitForMessages(1)) << smtpServer.Output();
    EXPECT_EQ(smtpServer.Messages().size(), 1u);

    // With no channel delivering, the mail's error passes as it always did
    // and the others' are said; nothing waits.
    Set("port", std::to_string(test::ClosedPort("127.0.0.1")));
    Set("ntfyUrl", "http://127.0.0.1:" + std::to_string(test::ClosedPort("127.0.0.1")) + "/topic");
    Set("webhookUrl", "");
    view.lines.clear();
    test::ExpectThrowWithMessage<SocketError>([&] { delivery.SendOutageAlert(Described(), outcome, alert); },
                                              "Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(view.lines.back(), "Not sent to ntfy: Socket Error # 10061 Connection refused.");
    const size_t before = server.Requests().size();
    delivery.SendUndelivered(Described());
    EXPECT_EQ(server.Requests().size(), before);
}

}  // namespace
}  // namespace corvasse

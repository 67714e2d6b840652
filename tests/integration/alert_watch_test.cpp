// A whole failing web watch through the real main window: the page comes from
// a loopback nginx, the alert goes out through "POP before SMTP" to dovecot
// and aiosmtpd with AUTH LOGIN.

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "app/settings/settings_store.h"
#include "common/utf8_text.h"
#include "support/mail_reader.h"
#include "support/message_lines.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/pop3_server.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "ui/log_viewer.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

using test::Lines;

// The POP3 client keeps the standard port; its server gets a loopback
// address of its own, which the SMTP server shares as the one mail host.
constexpr int kPop3StandardPort = 110;

class AlertWatchTest : public ::testing::Test {
protected:
    // Saves the form as it stands, then, as no window writes the port, sets
    // the mail server's in the store, and watches once.
    void SaveAndWatch(const test::SmtpServer& smtp) {
        ASSERT_TRUE(watch.Save());
        watch.window.Monitor().Settings().WriteSetting("Settings", "port", std::to_string(smtp.Port()));
        ASSERT_TRUE(watch.Start());
        EXPECT_TRUE(watch.dialogs.calls.empty()) << watch.dialogs.calls.front();
        log = test::ReadFile(dir.Path() / "Corvasse.log");
    }

    test::TempDir dir;
    test::NginxServer web;
    test::WatchingWindow watch{test::MonitorFilesIn(dir.Path())};
    std::string log;
};

TEST_F(AlertWatchTest, FailedCheckSendsTheAlertThroughPopBeforeSmtp) {
    web.WriteFile("index.html", "<html>maintenance</html>\n");
    const std::string mailHost = test::FreeLoopbackAddress(kPop3StandardPort);
    test::Pop3Server pop3(mailHost, kPop3StandardPort);
    test::SmtpServer smtp(test::SmtpServer::Login::Required, mailHost);
    watch.FillWebWatch(web.Url("/index.html"));
    watch.FillMail(mailHost);
    watch.window.SetChecked(Field::ckPOPbefore, true);
    watch.window.SetText(Field::txtUserid, test::kSmtpTestUser);
    watch.window.SetText(Field::txtPass, test::kSmtpTestPassword);
    watch.window.SetChecked(Field::rad_atLogin, true);
    ASSERT_NO_FATAL_FAILURE(SaveAndWatch(smtp));

    EXPECT_EQ(watch.PaneLines(),
              (Lines{"HTTP Connected...", "HTTP done...", "Sending e-mail alert...", "*** Connecting via POP...",
                     "POP3: Connected.", "POP3 Connected...", "*** POP connected...", "*** Total Messages: 3",
                     "POP3: Disconnecting.", "POP3 Disconnected...", "POP3: Disconnected.", "SMTP: Connected.",
                     "SMTP Connected...", "SMTP: Encoding text", "SMTP done...", "SMTP: Disconnecting.",
                     "SMTP Disconnected...", "SMTP: Disconnected.", "HTTP Disconnected..."}));
    EXPECT_EQ(watch.Panel("statusPanel"), "Watching...");
    EXPECT_EQ(watch.Panel("watchCountPanel"), "Watch count:1");

    // The report is in the log as one entry.
    const std::regex report(
        test::kReportDatePattern + std::string(R"(\nWatching address: http://127\.0\.0\.1:\d+/index\.html\n)") +
        R"(Looked for but did not find:all is well\nHTTP reply #:HTTP/1\.1 200 OK, Last Error Number was 200\n)"
        R"(----------\n\r\n)");
    EXPECT_TRUE(std::regex_match(log, report)) << log;

    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    const test::ReceivedMail mail = smtp.Messages()[0];
    EXPECT_EQ(mail.authUser, test::kSmtpTestUser);
    EXPECT_EQ(mail.mailFrom, "me@example.org");
    EXPECT_EQ(mail.rcptTo, Lines{"alerts@example.org"});
    // The report's lines, exactly as logged (without the log's CR LF).
    Lines reportLines;
    const std::string logged = log.substr(0, log.size() - 2);
    for (size_t start = 0, end; (end = logged.find('\n', start)) != std::string::npos; start = end + 1) {
        reportLines.push_back(logged.substr(start, end - start));
    }
    test::ExpectMessageLines(test::SplitCrLfLines(mail.content),
                             test::AlertMessageLines({.ownAddress = "me@example.org",
                                                      .sendTo = "alerts@example.org",
                                                      .sender = "alice <alerts@example.org>",
                                                      .report = reportLines}));
    watch.Click("btnCancel");
}

TEST_F(AlertWatchTest, TextBeyondAsciiArrivesAsTypedAndTheHeadersStaySevenBit) {
    // The address holds a blank and umlauts, which reach nginx percent-encoded.
    web.WriteFile("Gr\u00f6\u00dfe da/index.html", "<html>Gr\u00f6\u00dfe da</html>\n");
    const std::string url = web.Url("/Gr\u00f6\u00dfe da/index.html");
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    watch.FillWebWatch(url, "Gr\u00f6\u00dfe fehlt");
    watch.FillMail(smtp.Host());
    watch.window.SetText(Field::txtUserid, "J\xC3\xBCrgen");
    ASSERT_NO_FATAL_FAILURE(SaveAndWatch(smtp));

    const std::string report = "Watching address: " + url + "\nLooked for but did not find:Gr\u00f6\u00dfe fehlt\n" +
                               "HTTP reply #:HTTP/1.1 200 OK, Last Error Number was 200\n----------\n\r\n";
    EXPECT_TRUE(log.ends_with(report)) << log;

    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    const std::string content = smtp.Messages()[0].content;
    EXPECT_TRUE(IsAscii(content)) << content;
    const test::DecodedMail mail = test::DecodeMail(content);
    EXPECT_EQ(mail.senderName, "J\xC3\xBCrgen");
    EXPECT_EQ(mail.fromName, "me@example.org");
    EXPECT_EQ(mail.textCharset, "utf-8");
    EXPECT_EQ(mail.text,
              log.substr(0, log.size() - 2) + "\n\fCorvasse web watch alert, published by the Corvasse project.\n\f\n");

    watch.window.LogViewer().ShowLog();
    EXPECT_TRUE(watch.window.LogViewer().Pane()->toPlainText().contains(
        QString::fromUtf8("Looked for but did not find:Gr\u00f6\u00dfe fehlt")));
    watch.Click("btnCancel");
}

}  // namespace
}  // namespace corvasse

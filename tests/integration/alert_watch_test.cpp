// A whole failing web watch through the real main window: the page comes from
// a loopback nginx, the alert goes out through "POP before SMTP" to dovecot
// and aiosmtpd with AUTH LOGIN.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <regex>
#include <string>
#include <vector>

#include "app/fakes.h"
#include "app/monitor.h"
#include "app/settings_store.h"
#include "common/utf8_text.h"
#include "integration/pane_lines.h"
#include "support/mail_reader.h"
#include "support/message_lines.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/pop3_server.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "ui/log_viewer.h"
#include "ui/main_window.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

using test::ReadFile;

using Lines = std::vector<std::string>;

// The POP3 client keeps the standard port; its server gets a loopback
// address of its own, which the SMTP server shares as the one mail host.
constexpr int kPop3StandardPort = 110;

using test::PaneLines;

TEST(AlertWatchTest, FailedCheckSendsTheAlertThroughPopBeforeSmtp) {
    test::TestApp();
    test::TempDir dir;
    test::NginxServer web;
    web.WriteFile("index.html", "<html>maintenance</html>\n");
    const std::string mailHost = test::FreeLoopbackAddress(kPop3StandardPort);
    test::Pop3Server pop3(mailHost, kPop3StandardPort);
    test::SmtpServer smtp(test::SmtpServer::Login::Required, mailHost);

    test::FakeDialogs dialogs;
    MainWindow window(test::MonitorFilesIn(dir.Path()), &dialogs);
    window.show();
    QApplication::processEvents();
    window.SetText(Field::txtURL2watch, web.Url("/index.html"));
    window.SetText(Field::txtFileSize, "");
    window.SetText(Field::txtLookFor, "all is well");
    window.SetText(Field::txtWatchFreq, "15");
    window.SetText(Field::txtSMTPhost, mailHost);
    window.SetText(Field::txtSendto, "alerts@example.org");
    window.SetText(Field::txtYourEmail, "me@example.org");
    window.SetChecked(Field::ckPOPbefore, true);
    window.SetText(Field::txtUserid, test::kSmtpTestUser);
    window.SetText(Field::txtPass, test::kSmtpTestPassword);
    window.SetChecked(Field::rad_atLogin, true);
    window.findChild<QPushButton*>("btnSave")->click();
    ASSERT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    // No window writes the port; it is set in the store by other means.
    window.Monitor().Settings().WriteSetting("Settings", "port", std::to_string(smtp.Port()));

    window.findChild<QPushButton*>("btnOkay")->click();
    ASSERT_TRUE(test::WaitForWatch(window, 1));

    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    EXPECT_EQ(PaneLines(window),
              (Lines{"HTTP Connected...", "HTTP done...", "Sending e-mail alert...", "*** Connecting via POP...",
                     "POP3: Connected.", "POP3 Connected...", "*** POP connected...", "*** Total Messages: 3",
                     "POP3: Disconnecting.", "POP3 Disconnected...", "POP3: Disconnected.", "SMTP: Connected.",
                     "SMTP Connected...", "SMTP: Encoding text", "SMTP done...", "SMTP: Disconnecting.",
                     "SMTP Disconnected...", "SMTP: Disconnected.", "HTTP Disconnected..."}));
    EXPECT_EQ(window.findChild<QLabel*>("statusPanel")->text().toStdString(), "Watching...");
    EXPECT_EQ(window.findChild<QLabel*>("watchCountPanel")->text().toStdString(), "Watch count:1");

    // The report is in the log as one entry.
    const std::string log = ReadFile(dir.Path() / "Corvasse.log");
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

    window.findChild<QPushButton*>("btnCancel")->click();
}

TEST(AlertWatchTest, TextBeyondAsciiArrivesAsTypedAndTheHeadersStaySevenBit) {
    test::TestApp();
    test::TempDir dir;
    test::NginxServer web;
    // The address holds a blank and umlauts, which reach nginx percent-encoded.
    web.WriteFile("Gr\u00f6\u00dfe da/index.html", "<html>Gr\u00f6\u00dfe da</html>\n");
    const std::string url = web.Url("/Gr\u00f6\u00dfe da/index.html");
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);

    test::FakeDialogs dialogs;
    MainWindow window(test::MonitorFilesIn(dir.Path()), &dialogs);
    window.show();
    QApplication::processEvents();
    window.SetText(Field::txtURL2watch, url);
    window.SetText(Field::txtFileSize, "");
    window.SetText(Field::txtLookFor, "Gr\u00f6\u00dfe fehlt");
    window.SetText(Field::txtSMTPhost, smtp.Host());
    window.SetText(Field::txtSendto, "alerts@example.org");
    window.SetText(Field::txtYourEmail, "me@example.org");
    window.SetText(Field::txtUserid, "J\xC3\xBCrgen");
    window.findChild<QPushButton*>("btnSave")->click();
    ASSERT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    window.Monitor().Settings().WriteSetting("Settings", "port", std::to_string(smtp.Port()));

    window.findChild<QPushButton*>("btnOkay")->click();
    ASSERT_TRUE(test::WaitForWatch(window, 1));

    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    const std::string log = ReadFile(dir.Path() / "Corvasse.log");
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

    window.LogViewer().ShowLog();
    EXPECT_TRUE(window.LogViewer().Pane()->toPlainText().contains(
        QString::fromUtf8("Looked for but did not find:Gr\u00f6\u00dfe fehlt")));
    window.findChild<QPushButton*>("btnCancel")->click();
}

}  // namespace
}  // namespace corvasse

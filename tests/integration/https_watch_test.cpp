// Whole watches of https:// pages through the real main window: one that
// passes, and one whose certificate has expired, so that the alert goes out
// through a mail server that requires STARTTLS.

#include <gtest/gtest.h>

#include <QPushButton>

#include <string>
#include <vector>

#include "app/fakes.h"
#include "app/monitor.h"
#include "app/watch_state.h"
#include "integration/pane_lines.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"
#include "ui/main_window.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;
using test::PaneLines;

class HttpsWatchTest : public ::testing::Test {
protected:
    HttpsWatchTest() {
        test::TestCertificates();
        window.show();
        QApplication::processEvents();
    }

    // Fills the form as a user would, ticks "Allow https:// addresses" and saves.
    void FillAndSave(const std::string& url) {
        window.SetText(Field::txtURL2watch, url);
        window.SetText(Field::txtFileSize, "");
        window.SetText(Field::txtLookFor, "all is well");
        window.SetText(Field::txtWatchFreq, "15");
        window.SetText(Field::txtSendto, "alerts@example.org");
        window.SetText(Field::txtYourEmail, "me@example.org");
        window.SetChecked(Field::ckAllowHttps, true);
        window.findChild<QPushButton*>("btnSave")->click();
        ASSERT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    }

    QApplication& app = test::TestApp();  // before any widget
    test::TempDir dir;
    test::FakeDialogs dialogs;
    MainWindow window{test::MonitorFilesIn(dir.Path()), &dialogs};
};

TEST_F(HttpsWatchTest, PageOverTlsPasses) {
    test::NginxServer web("", test::TestCertificates().localhost);
    web.WriteFile("page.html", "<html>all is well</html>\n");
    FillAndSave(web.HttpsUrl("/page.html", "localhost"));

    window.findChild<QPushButton*>("btnOkay")->click();
    ASSERT_TRUE(test::WaitForWatch(window, 1));

    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    EXPECT_EQ(window.monitor().State().FoundFlag, "y");
    EXPECT_EQ(window.monitor().State().FetchedBodyLength, 25);
    EXPECT_EQ(PaneLines(window), (Lines{"HTTP Connected...", "HTTP done...", "HTTP Disconnected..."}));
    window.findChild<QPushButton*>("btnCancel")->click();
}

TEST_F(HttpsWatchTest, ExpiredCertificateAlertsThroughStartTls) {
    test::NginxServer web("", test::TestCertificates().expired);
    web.WriteFile("page.html", "<html>all is well</html>\n");
    test::SmtpServer smtp(test::SmtpServer::Login::Required, "127.0.0.1", test::SmtpServer::Tls::StartTls);
    window.SetText(Field::txtSMTPhost, smtp.Host());
    window.SetChecked(Field::radSecurityStartTls, true);
    window.SetText(Field::txtPort, std::to_string(smtp.Port()));
    window.SetText(Field::txtUserid, test::kSmtpTestUser);
    window.SetText(Field::txtPass, test::kSmtpTestPassword);
    window.SetChecked(Field::rad_atLogin, true);
    FillAndSave(web.HttpsUrl("/page.html"));

    window.findChild<QPushButton*>("btnOkay")->click();
    ASSERT_TRUE(test::WaitForWatch(window, 1));

    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    EXPECT_EQ(window.monitor().State().FetchedBodyLength, 0);
    const Lines lines = PaneLines(window);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
              (Lines{"HTTP Connected...", "HTTP Disconnected...", "Sending e-mail alert...", "SMTP: Connected.",
                     "SMTP Connected..."}));
    EXPECT_EQ(lines[5].rfind("SMTP: TLS established (TLSv1.", 0), 0u) << lines[5];
    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    EXPECT_EQ(smtp.Messages()[0].authUser, test::kSmtpTestUser);
    EXPECT_NE(smtp.Messages()[0].content.find("Watching address: " + web.HttpsUrl("/page.html")), std::string::npos);
    window.findChild<QPushButton*>("btnCancel")->click();
}

}  // namespace
}  // namespace corvasse

// Whole watches of https:// pages through the real main window: one that
// passes, one whose certificate has expired, so that the alert goes out
// through a mail server that requires STARTTLS, and ones whose certificate
// ends soon, which warn through aiosmtpd.

#include <gtest/gtest.h>

#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "app/fakes.h"
#include "app/monitor.h"
#include "app/settings_store.h"
#include "app/watch_state.h"
#include "integration/pane_lines.h"
#include "support/mail_reader.h"
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

// The pane lines that match pattern.
long CountLines(MainWindow& window, const std::string& pattern) {
    const Lines lines = PaneLines(window);
    const std::regex regex(pattern);
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return std::regex_match(line, regex); });
}

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
    EXPECT_EQ(window.Monitor().State().FoundFlag, "y");
    EXPECT_EQ(window.Monitor().State().FetchedBodyLength, 25);
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
    EXPECT_EQ(window.Monitor().State().FetchedBodyLength, 0);
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

TEST(CertificateWarningWatchTest, ACertificateEndingWithinTheDaysWarnsAtEachWatchAndMailsOnceAcrossARestart) {
    using std::chrono::days, std::chrono::hours;
    const struct {
        const char* name;
        std::chrono::system_clock::duration left;
        int warnDays;  // 0: the box clear
        long mails;
    } rows[] = {
        {"within the days", days(9) + hours(1), 14, 1},
        {"outside them", days(20), 14, 0},
        {"the box clear", days(9) + hours(1), 0, 0},
    };
    test::TestApp();
    test::TestCertificates();
    test::TempDir temp;
    int run = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const MonitorFiles files = test::MonitorFilesIn(temp.Path() / std::to_string(++run));
        test::NginxServer web("", test::CertificateEndingAt(std::chrono::system_clock::now() + row.left));
        web.WriteFile("page.html", "<html>all is well</html>\n");
        test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
        SettingsStore::AtFile(files.settings).WriteSetting("Settings", "intervalSeconds", "1");
        const std::string warning = R"(Certificate for localhost expires in 9 days \(\d{4}-\d\d-\d\d \d\d:\d\d UTC\))";
        // A window over the files, set up by before, that runs watches watches;
        // the warning lines it showed.
        auto watch = [&](int watches, auto&& before) {
            test::FakeDialogs dialogs;
            MainWindow window(files, &dialogs);
            window.show();
            QApplication::processEvents();
            before(window, dialogs);
            window.findChild<QPushButton*>("btnOkay")->click();
            EXPECT_TRUE(test::WaitForWatch(window, watches));
            window.findChild<QPushButton*>("btnCancel")->click();
            EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
            return CountLines(window, warning);
        };
        const long lines = watch(2, [&](MainWindow& window, test::FakeDialogs& dialogs) {
            window.SetText(Field::txtURL2watch, web.HttpsUrl("/page.html", "localhost"));
            window.SetText(Field::txtFileSize, "");
            window.SetText(Field::txtLookFor, "all is well");
            window.SetText(Field::txtSMTPhost, smtp.Host());
            window.SetText(Field::txtPort, std::to_string(smtp.Port()));
            window.SetText(Field::txtSendto, "alerts@example.org");
            window.SetText(Field::txtYourEmail, "me@example.org");
            window.SetChecked(Field::ckAllowHttps, true);
            window.SetChecked(Field::ckCertWarn, row.warnDays > 0);
            if (row.warnDays > 0) window.SetText(Field::txtCertWarnDays, std::to_string(row.warnDays));
            window.findChild<QPushButton*>("btnSave")->click();
            ASSERT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
        });
        // A watch more may have begun before the stop: at least one line a watch.
        EXPECT_EQ(lines >= 2, row.mails > 0) << lines;
        if (row.warnDays == 0) {
            EXPECT_EQ(test::ReadFile(files.settings).find("certWarnDays"), std::string::npos);
        }
        // A restart warns again in the pane and mails nothing more.
        EXPECT_EQ(watch(1, [](MainWindow&, test::FakeDialogs&) {}) >= 1, row.mails > 0);

        if (row.mails > 0) {
            ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
        }
        const std::vector<test::ReceivedMail> mails = smtp.Messages();
        ASSERT_EQ(static_cast<long>(mails.size()), row.mails);
        if (mails.empty()) continue;
        const test::DecodedMail mail = test::DecodeMail(mails[0].content);
        EXPECT_NE(std::find(mail.headers.begin(), mail.headers.end(), "Subject: Corvasse Certificate Warning"),
                  mail.headers.end());
        EXPECT_TRUE(std::regex_search(mail.text, std::regex("\nWatching address: https://localhost:\\d+/page\\.html\n"
                                                            "Certificate for: localhost\n"
                                                            "Expires: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d UTC\n"
                                                            "Days left: 9\n"
                                                            "Issuer: CN=.+\n")))
            << mail.text;
    }
}

}  // namespace
}  // namespace corvasse

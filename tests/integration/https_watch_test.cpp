// Whole watches of https:// pages through the real main window: one that
// passes, one whose certificate has expired, so that the alert goes out
// through a mail server that requires STARTTLS, and ones whose certificate
// ends soon, which warn through aiosmtpd.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "app/settings/settings_store.h"
#include "app/watch/watch_state.h"
#include "support/mail_reader.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

using test::Lines;

// A page over TLS that says all is well, and a window whose form watches it
// with "Allow https:// addresses" ticked.
class HttpsWatchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::TestCertificates(); }

    static void ServePage(test::NginxServer& web) { web.WriteFile("page.html", "<html>all is well</html>\n"); }

    static void FillHttpsWatch(test::WatchingWindow& watch, const std::string& url,
                               const std::optional<std::string>& smtpHost) {
        watch.FillWebWatch(url);
        watch.FillMail(smtpHost);
        watch.window.SetChecked(Field::ckAllowHttps, true);
    }

    test::TempDir dir;
};

TEST_F(HttpsWatchTest, PageOverTlsPasses) {
    test::NginxServer web("", test::TestCertificates().localhost);
    ServePage(web);
    test::WatchingWindow watch(test::MonitorFilesIn(dir.Path()));
    FillHttpsWatch(watch, web.HttpsUrl("/page.html", "localhost"), std::nullopt);
    ASSERT_TRUE(watch.Save());
    ASSERT_TRUE(watch.Start());

    EXPECT_TRUE(watch.dialogs.calls.empty()) << watch.dialogs.calls.front();
    EXPECT_EQ(watch.window.Monitor().State().outcome.textFound, true);
    EXPECT_EQ(watch.window.Monitor().State().outcome.pageLength, 25);
    EXPECT_EQ(watch.PaneLines(), (Lines{"HTTP Connected...", "HTTP done...", "HTTP Disconnected..."}));
    watch.Click("btnCancel");
}

TEST_F(HttpsWatchTest, ExpiredCertificateAlertsThroughStartTls) {
    test::NginxServer web("", test::TestCertificates().expired);
    ServePage(web);
    test::SmtpServer smtp(test::SmtpServer::Login::Required, "127.0.0.1", test::SmtpServer::Tls::StartTls);
    test::WatchingWindow watch(test::MonitorFilesIn(dir.Path()));
    FillHttpsWatch(watch, web.HttpsUrl("/page.html"), smtp.Host());
    watch.window.SetChecked(Field::radSecurityStartTls, true);
    watch.window.SetText(Field::txtPort, std::to_string(smtp.Port()));
    watch.window.SetText(Field::txtUserid, test::kSmtpTestUser);
    watch.window.SetText(Field::txtPass, test::kSmtpTestPassword);
    watch.window.SetChecked(Field::rad_atLogin, true);
    ASSERT_TRUE(watch.Save());
    ASSERT_TRUE(watch.Start());

    EXPECT_TRUE(watch.dialogs.calls.empty()) << watch.dialogs.calls.front();
    EXPECT_EQ(watch.window.Monitor().State().outcome.pageLength, 0);
    const Lines lines = watch.PaneLines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
              (Lines{"HTTP Connected...", "HTTP Disconnected...", "Sending e-mail alert...", "SMTP: Connected.",
                     "SMTP Connected..."}));
    EXPECT_EQ(lines[5].rfind("SMTP: TLS established (TLSv1.", 0), 0u) << lines[5];
    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    EXPECT_EQ(smtp.Messages()[0].authUser, test::kSmtpTestUser);
    EXPECT_NE(smtp.Messages()[0].content.find("Watching address: " + web.HttpsUrl("/page.html")), std::string::npos);
    watch.Click("btnCancel");
}

TEST_F(HttpsWatchTest, ACertificateEndingWithinTheDaysWarnsAtEachWatchAndMailsOnceAcrossARestart) {
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
    const std::string warning = R"(Certificate for localhost expires in 9 days \(\d{4}-\d\d-\d\d \d\d:\d\d UTC\))";
    int run = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const MonitorFiles files = test::MonitorFilesIn(dir.Path() / std::to_string(++run));
        test::NginxServer web("", test::CertificateEndingAt(std::chrono::system_clock::now() + row.left));
        ServePage(web);
        test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
        SettingsStore::AtFile(files.settings).WriteSetting("Settings", "intervalSeconds", "1");
        // A window over the files, its form filled by fill, that runs watches
        // watches; the warning lines it showed.
        auto watchWith = [&](int watches, auto&& fill) {
            test::WatchingWindow watch(files);
            fill(watch);
            watch.Click("btnOkay");
            EXPECT_TRUE(watch.WaitForWatch(watches));
            watch.Click("btnCancel");
            EXPECT_TRUE(watch.dialogs.calls.empty()) << watch.dialogs.calls.front();
            return watch.CountLines(warning);
        };
        const long lines = watchWith(2, [&](test::WatchingWindow& watch) {
            FillHttpsWatch(watch, web.HttpsUrl("/page.html", "localhost"), smtp.Host());
            watch.window.SetText(Field::txtPort, std::to_string(smtp.Port()));
            watch.window.SetChecked(Field::ckCertWarn, row.warnDays > 0);
            if (row.warnDays > 0) watch.window.SetText(Field::txtCertWarnDays, std::to_string(row.warnDays));
            ASSERT_TRUE(watch.Save());
        });
        // A watch more may have begun before the stop: at least one line a watch.
        EXPECT_EQ(lines >= 2, row.mails > 0) << lines;
        if (row.warnDays == 0) {
            EXPECT_EQ(test::ReadFile(files.settings).find("certWarnDays"), std::string::npos);
        }
        // A restart warns again in the pane and mails nothing more.
        EXPECT_EQ(watchWith(1, [](test::WatchingWindow&) {}) >= 1, row.mails > 0);

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

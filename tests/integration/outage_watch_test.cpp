// Outage mode through the real main window: a loopback nginx page that goes
// down and comes back, watched every second, and the mails that aiosmtpd
// receives for it; and "Send Test Mail" with the form as it stands.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/fakes.h"
#include "app/monitor.h"
#include "app/settings_store.h"
#include "integration/pane_lines.h"
#include "support/mail_reader.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/server_process.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "ui/main_window.h"
#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kPageUp = "<p>all is well</p>\n";
constexpr const char* kPageDown = "<p>maintenance</p>\n";

// The pane lines that match pattern.
long CountLines(MainWindow& window, const std::string& pattern) {
    const Lines lines = test::PaneLines(window);
    const std::regex regex(pattern);
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return std::regex_match(line, regex); });
}

// A window watching the page each second, its alerts going to smtp for two recipients.
void FillForm(MainWindow& window, const std::string& url, const test::SmtpServer& smtp) {
    window.SetText(Field::txtURL2watch, url);
    window.SetText(Field::txtFileSize, "");
    window.SetText(Field::txtLookFor, "all is well");
    window.SetText(Field::txtSMTPhost, smtp.Host());
    window.SetText(Field::txtPort, std::to_string(smtp.Port()));
    window.SetText(Field::txtSendto, "alerts@example.org, ops@example.org");
    window.SetText(Field::txtYourEmail, "me@example.org");
}

std::string Subject(const test::ReceivedMail& mail) {
    for (const std::string& header : test::DecodeMail(mail.content).headers) {
        if (header.starts_with("Subject: ")) return header.substr(9);
    }
    return "";
}

TEST(OutageWatchTest, APageThatGoesDownAndComesBackMailsOneAlertAndOneRecovery) {
    test::TestApp();
    test::TempDir dir;
    test::NginxServer web;
    web.WriteFile("index.html", kPageUp);
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    const MonitorFiles files = test::MonitorFilesIn(dir.Path());
    SettingsStore::AtFile(files.settings).WriteSetting("Settings", "intervalSeconds", "1");
    test::FakeDialogs dialogs;
    MainWindow window(files, &dialogs);
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.Text(Field::txtIntervalSeconds), "1");
    const std::string url = web.Url("/index.html");
    FillForm(window, url, smtp);
    window.SetChecked(Field::ckOutageAlerts, true);
    window.findChild<QPushButton*>("btnSave")->click();
    ASSERT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();

    const std::string time = R"(\d\d:\d\d:\d\d )";
    const std::string down = time + "Down since .*: the text was not on the page";
    window.findChild<QPushButton*>("btnOkay")->click();
    ASSERT_TRUE(test::RunEventsUntil([&] { return CountLines(window, time + R"(Up: 19 bytes in \d+ ms)") > 0; }));
    web.WriteFile("index.html", kPageDown);
    // The outage's alert, then two more failed watches that mail nothing.
    ASSERT_TRUE(test::RunEventsUntil([&] { return CountLines(window, down) >= 2; }));
    web.WriteFile("index.html", kPageUp);
    ASSERT_TRUE(test::RunEventsUntil([&] { return CountLines(window, time + "Up: .*; back up after .*") == 1; }));
    ASSERT_TRUE(smtp.WaitForMessages(2)) << smtp.Output();
    // One more good watch, which mails nothing.
    const long ups = CountLines(window, time + "Up: .*");
    ASSERT_TRUE(test::RunEventsUntil([&] { return CountLines(window, time + "Up: .*") > ups; }));
    window.findChild<QPushButton*>("btnCancel")->click();

    EXPECT_TRUE(dialogs.calls.empty()) << dialogs.calls.front();
    EXPECT_EQ(CountLines(window, time + "Down \\(1 of 2\\): the text was not on the page; no alert yet"), 1);
    EXPECT_EQ(CountLines(window, time + "Down \\(2 of 2\\): the text was not on the page"), 1);
    EXPECT_TRUE(std::regex_match(window.findChild<QLabel*>("watchCountPanel")->text().toStdString(),
                                 std::regex(R"(Next watch at \d\d:\d\d:\d\d)")));
    const std::vector<test::ReceivedMail> mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(Subject(mails[0]), "Corvasse Alert: " + url);
    EXPECT_EQ(Subject(mails[1]), "Corvasse Recovered");
    for (const test::ReceivedMail& mail : mails)
        EXPECT_EQ(mail.rcptTo, (Lines{"alerts@example.org", "ops@example.org"}));
    const std::string alert = test::DecodeMail(mails[0].content).text;
    EXPECT_NE(alert.find("\nLooked for but did not find:all is well\n"), std::string::npos) << alert;
    EXPECT_NE(alert.find("\nReason: the text was not on the page\n----------\n"), std::string::npos) << alert;
    const std::string recovery = test::DecodeMail(mails[1].content).text;
    const long failed = CountLines(window, time + "Down .*");
    EXPECT_TRUE(std::regex_search(
        recovery, std::regex("\nWatching address: " + std::regex_replace(url, std::regex(R"([.?])"), R"(\$&)") +
                             "\nBack up after \\d+ s\nDown from .* to .*\nFailed watches: " + std::to_string(failed) +
                             "\nFirst failure: the text was not on the page\n")))
        << recovery;
    // The log holds the alert and the recovery, nothing of the other watches.
    const std::string log = test::ReadFile(files.log);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\r'), 2) << log;
}

TEST(OutageWatchTest, SendTestMailTriesTheFormAsItStands) {
    test::TestApp();
    test::TempDir dir;
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    test::FakeDialogs dialogs;
    MainWindow window(test::MonitorFilesIn(dir.Path()), &dialogs);
    window.show();
    QApplication::processEvents();
    FillForm(window, "http://127.0.0.1/", smtp);
    auto sendTestMail = [&] {
        dialogs.calls.clear();
        window.findChild<QPushButton*>("btnTestMail")->click();
        EXPECT_TRUE(test::RunEventsUntil([&] { return !dialogs.calls.empty(); }));
        return dialogs.calls.empty() ? "" : dialogs.calls.front();
    };

    // Nothing saved: the form's server and port are tried.
    EXPECT_EQ(sendTestMail(), "message:The test mail went out to alerts@example.org, ops@example.org.");
    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    EXPECT_EQ(Subject(smtp.Messages()[0]), "Corvasse Test");
    EXPECT_EQ(smtp.Messages()[0].rcptTo, (Lines{"alerts@example.org", "ops@example.org"}));

    window.SetText(Field::txtPort, std::to_string(test::FreePort("127.0.0.1")));
    EXPECT_EQ(sendTestMail(), "error:Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(smtp.Messages().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Corvasse.log"));
}

}  // namespace
}  // namespace corvasse

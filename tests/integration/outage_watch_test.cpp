// Outage mode through the real main window: a loopback nginx page that goes
// down and comes back, watched every second, and the mails that aiosmtpd
// receives for it; and "Send Test" with the form as it stands.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "app/settings/settings_store.h"
#include "support/loopback.h"
#include "support/mail_reader.h"
#include "support/monitor_files.h"
#include "support/nginx_server.h"
#include "support/notice_server.h"
#include "support/server_process.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "ui/watching_window.h"

namespace corvasse {
namespace {

using test::Lines;

constexpr const char* kPageUp = "<p>all is well</p>\n";
constexpr const char* kPageDown = "<p>maintenance</p>\n";
constexpr const char* kRecipients = "alerts@example.org, ops@example.org";

std::string Subject(const test::ReceivedMail& mail) {
    for (const std::string& header : test::DecodeMail(mail.content).headers) {
        if (header.starts_with("Subject: ")) return header.substr(9);
    }
    return "";
}

TEST(OutageWatchTest, APageThatGoesDownAndComesBackMailsOneAlertAndOneRecovery) {
    test::TempDir dir;
    test::NginxServer web;
    web.WriteFile("index.html", kPageUp);
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    const MonitorFiles files = test::MonitorFilesIn(dir.Path());
    SettingsStore::AtFile(files.settings).WriteSetting("Settings", "intervalSeconds", "1");
    test::WatchingWindow watch(files);
    EXPECT_EQ(watch.window.Text(Field::lblIntervalSeconds), "1");
    const std::string url = web.Url("/index.html");
    watch.FillWebWatch(url);
    watch.FillMail(smtp.Host(), smtp.Port(), kRecipients);
    watch.window.SetChecked(Field::ckOutageAlerts, true);
    ASSERT_TRUE(watch.Save());

    const std::string time = R"(\d\d:\d\d:\d\d )";
    const std::string down = time + "Down since .*: the text was not on the page";
    const auto showsAtLeast = [&](const std::string& pattern, long count) {
        return test::RunEventsUntil([&] { return watch.CountLines(pattern) >= count; });
    };
    watch.Click("btnOkay");
    ASSERT_TRUE(showsAtLeast(time + R"(Up: 19 bytes in \d+ ms)", 1));
    web.WriteFile("index.html", kPageDown);
    // The outage's alert, then two more failed watches that mail nothing.
    ASSERT_TRUE(showsAtLeast(down, 2));
    web.WriteFile("index.html", kPageUp);
    ASSERT_TRUE(test::RunEventsUntil([&] { return watch.CountLines(time + "Up: .*; back up after .*") == 1; }));
    ASSERT_TRUE(smtp.WaitForMessages(2)) << smtp.Output();
    // One more good watch, which mails nothing.
    ASSERT_TRUE(showsAtLeast(time + "Up: .*", watch.CountLines(time + "Up: .*") + 1));
    EXPECT_TRUE(std::regex_match(watch.Panel("watchCountPanel"), std::regex(R"(Next watch at \d\d:\d\d:\d\d)")));
    watch.Click("btnCancel");
    EXPECT_TRUE(test::RunEventsUntil([&] { return watch.Panel("watchCountPanel").empty(); }));

    EXPECT_TRUE(watch.dialogs.calls.empty()) << watch.dialogs.calls.front();
    EXPECT_EQ(watch.CountLines(time + "Down \\(1 of 2\\): the text was not on the page; no alert yet"), 1);
    EXPECT_EQ(watch.CountLines(time + "Down \\(2 of 2\\): the text was not on the page"), 1);
    const std::vector<test::ReceivedMail> mails = smtp.Messages();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(Subject(mails[0]), "Corvasse Alert: " + url);
    EXPECT_EQ(Subject(mails[1]), "Corvasse Recovered: " + url);
    for (const test::ReceivedMail& mail : mails)
        EXPECT_EQ(mail.rcptTo, (Lines{"alerts@example.org", "ops@example.org"}));
    const std::string alert = test::DecodeMail(mails[0].content).text;
    EXPECT_NE(alert.find("\nLooked for but did not find:all is well\n"), std::string::npos) << alert;
    EXPECT_NE(alert.find("\nReason: the text was not on the page\n----------\n"), std::string::npos) << alert;
    const std::string recovery = test::DecodeMail(mails[1].content).text;
    const long failed = watch.CountLines(time + "Down .*");
    EXPECT_TRUE(std::regex_search(
        recovery, std::regex("\nWatching address: " + std::regex_replace(url, std::regex(R"([.?])"), R"(\$&)") +
                             "\nBack up after \\d+ s\nDown from .* to .*\nFailed watches: " + std::to_string(failed) +
                             "\nFirst failure: the text was not on the page\n")))
        << recovery;
    // The log holds the alert and the recovery, nothing of the other watches.
    const std::string log = test::ReadFile(files.log);
    EXPECT_EQ(std::count(log.begin(), log.end(), '\r'), 2) << log;
}

TEST(OutageWatchTest, WithNtfyAndAWebhookEachChannelGetsOneAlertAndOneRecoveryAndAFailedOneGoesAgainAlone) {
    test::TempDir dir;
    test::NginxServer web;
    web.WriteFile("index.html", kPageUp);
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    test::NoticeServer notices({{"/hook", 1}});
    const MonitorFiles files = test::MonitorFilesIn(dir.Path());
    SettingsStore::AtFile(files.settings).WriteSetting("Settings", "intervalSeconds", "1");
    test::WatchingWindow watch(files);
    const std::string url = web.Url("/index.html");
    watch.FillWebWatch(url);
    watch.FillMail(smtp.Host(), smtp.Port(), kRecipients);
    watch.window.SetChecked(Field::ckOutageAlerts, true);
    watch.window.SetText(Field::txtNtfyUrl, notices.Url("/topic"));
    watch.window.SetText(Field::txtWebhookUrl, notices.Url("/hook"));
    ASSERT_TRUE(watch.Save());

    const std::string time = R"(\d\d:\d\d:\d\d )";
    watch.Click("btnOkay");
    ASSERT_TRUE(test::RunEventsUntil([&] { return watch.CountLines(time + "Up: .*") >= 1; }));
    web.WriteFile("index.html", kPageDown);
    ASSERT_TRUE(test::RunEventsUntil([&] { return watch.CountLines(time + "Down since .*") >= 2; }));
    web.WriteFile("index.html", kPageUp);
    ASSERT_TRUE(test::RunEventsUntil([&] { return watch.CountLines(time + "Up: .*; back up after .*") == 1; }));
    ASSERT_TRUE(smtp.WaitForMessages(2)) << smtp.Output();
    ASSERT_TRUE(notices.WaitForRequests(5)) << notices.Output();
    watch.Click("btnCancel");

    // The webhook's first answer was 500: said once, sent again with the next result.
    EXPECT_EQ(watch.dialogs.calls,
              (std::vector<std::string>{"error:Not sent to the webhook: HTTP/1.1 500 Internal Server Error."}));
    EXPECT_EQ(smtp.Messages().size(), 2u);
    const auto ntfy = notices.RequestsTo("/topic");
    const auto hook = notices.RequestsTo("/hook");
    ASSERT_EQ(ntfy.size(), 2u);
    ASSERT_EQ(hook.size(), 3u);
    EXPECT_EQ(ntfy[0].Field("Title"), "Corvasse Alert: " + url);
    EXPECT_EQ(ntfy[1].Field("Title"), "Corvasse Recovered: " + url);
    EXPECT_EQ(hook[0].body, hook[1].body);
    for (const auto& [request, event] : {std::pair{hook[1], "down"}, {hook[2], "up"}}) {
        EXPECT_NE(request.json.find(std::string(R"("event": ")") + event + "\""), std::string::npos) << request.json;
        EXPECT_NE(request.json.find(R"("reason": "the text was not on the page")"), std::string::npos) << request.json;
    }
}

TEST(OutageWatchTest, SendTestMailTriesTheFormAsItStands) {
    test::TempDir dir;
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    test::WatchingWindow watch(test::MonitorFilesIn(dir.Path()));
    watch.FillWebWatch("http://127.0.0.1/");
    watch.FillMail(smtp.Host(), smtp.Port(), kRecipients);
    auto sendTestMail = [&] {
        watch.dialogs.calls.clear();
        watch.Click("btnTestMail");
        EXPECT_TRUE(test::RunEventsUntil([&] { return !watch.dialogs.calls.empty(); }));
        return watch.dialogs.calls.empty() ? "" : watch.dialogs.calls.front();
    };

    // Nothing saved: the form's server and port are tried.
    EXPECT_EQ(sendTestMail(), "message:The test mail went out to alerts@example.org, ops@example.org.");
    ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
    EXPECT_EQ(Subject(smtp.Messages()[0]), "Corvasse Test");
    EXPECT_EQ(smtp.Messages()[0].rcptTo, (Lines{"alerts@example.org", "ops@example.org"}));

    watch.window.SetText(Field::txtPort, std::to_string(test::ClosedPort("127.0.0.1")));
    EXPECT_EQ(sendTestMail(), "error:Socket Error # 10061\r\nConnection refused.");
    EXPECT_EQ(smtp.Messages().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "Corvasse.log"));
}

}  // namespace
}  // namespace corvasse

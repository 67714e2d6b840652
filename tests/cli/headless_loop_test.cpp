// `corvasse --headless` run as a service manager runs it: no display, the
// status lines on standard output, and SIGTERM that ends it at once even
// while a fetch or a mail dialogue stalls.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <signal.h>

#include "app/settings/settings_store.h"
#include "support/child_process.h"
#include "support/loopback.h"
#include "support/nginx_server.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;
using Settings = std::vector<std::pair<const char*, std::string>>;

constexpr int kStartTimeoutMs = 30000;
// The last line of an alert report in the log.
constexpr const char* kReportEnd = "----------\n\r\n";
// How soon a signal must end the service.
constexpr auto kShutdownLimit = std::chrono::milliseconds(1000);
// Outage mode, watched each second.
const Settings kOutageMode = {{"outageAlerts", "y"}, {"intervalSeconds", "1"}};

class HeadlessLoopTest : public ::testing::Test {
protected:
    // A watch of address for "all is well" whose alerts go to mailPort on
    // loopback, with the settings that follow.
    std::filesystem::path WriteSettings(const std::string& address, int mailPort, const Settings& more = {}) {
        const std::filesystem::path file = dir_.Path() / "watch.conf";
        SettingsStore store = SettingsStore::AtFile(file);
        Settings settings = {{"url2watch", address},
                             {"txtLookFor", "all is well"},
                             {"checktype", "lookfor"},
                             {"txtSMTPhost", "127.0.0.1"},
                             {"port", std::to_string(mailPort)},
                             {"txtSendTo", "alerts@example.org"},
                             {"txtYourEmail", "me@example.org"}};
        settings.insert(settings.end(), more.begin(), more.end());
        for (const auto& [key, value] : settings) store.WriteSetting("Settings", key, value);
        return file;
    }

    // prefix: a program that runs the service with the arguments that follow.
    std::unique_ptr<test::ChildProcess> StartService(const std::filesystem::path& settings,
                                                     std::vector<std::string> prefix = {}) {
        for (const char* arg : {CORVASSE_BINARY, "--headless", "--settings"}) prefix.push_back(arg);
        prefix.insert(prefix.end(), {settings.string(), "--log", Log().string(), "--history", History().string()});
        return std::make_unique<test::ChildProcess>(prefix, dir_.Path(), test::kDisplayVariables);
    }

    std::filesystem::path Log() const { return dir_.Path() / "watch.log"; }
    std::filesystem::path History() const { return dir_.Path() / "history.sqlite3"; }

    // Waits until the condition holds or the service ended.
    static bool WaitFor(test::ChildProcess& service, const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
        while (std::chrono::steady_clock::now() < deadline && service.Running()) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return condition();
    }

    // Sends SIGTERM; the service must end with status 0 in time.
    static void StopWithinTheLimit(test::ChildProcess& service) {
        const auto sent = std::chrono::steady_clock::now();
        service.Signal(SIGTERM);
        const std::optional<int> status = service.Wait(10000);
        const auto took = std::chrono::steady_clock::now() - sent;
        std::printf("[ shutdown ] %lld ms\n",
                    static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        EXPECT_EQ(status, 0);
        EXPECT_LT(took, kShutdownLimit) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    }

    test::TempDir dir_;
};

// The pane's lines without their time stamps; each must have one.
Lines PaneTexts(const std::string& output) {
    Lines texts;
    const std::regex stamped(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (.*))");
    for (const std::string& line : test::SplitLines(output)) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(line, match, stamped)) << line;
        texts.push_back(match[1]);
    }
    return texts;
}

TEST_F(HeadlessLoopTest, FailingWatchLogsItsReportAndDeliversItsAlert) {
    test::NginxServer web;
    web.WriteFile("index.html", "<html>maintenance</html>\n");
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    auto service = StartService(WriteSettings(web.Url("/index.html"), smtp.Port()));

    ASSERT_TRUE(smtp.WaitForMessages(1, kStartTimeoutMs)) << smtp.Output() << service->Errors();
    ASSERT_TRUE(WaitFor(*service, [&] { return service->Output().find("HTTP Disconnected...") != std::string::npos; }))
        << service->Output() << service->Errors();
    StopWithinTheLimit(*service);

    EXPECT_EQ(PaneTexts(service->Output()),
              (Lines{"HTTP Connected...", "HTTP done...", "Sending e-mail alert...", "SMTP: Connected.",
                     "SMTP Connected...", "SMTP: Encoding text", "SMTP done...", "SMTP: Disconnecting.",
                     "SMTP Disconnected...", "SMTP: Disconnected.", "HTTP Disconnected..."}));
    EXPECT_EQ(service->Errors(), "");
    const std::string log = test::ReadFile(Log());
    const std::regex report(
        R"(\d\d/\d\d/\d{4}, \d\d:\d\d (AM|PM)\nWatching address: http://127\.0\.0\.1:\d+/index\.html\n)"
        R"(Looked for but did not find:all is well\nHTTP reply #:HTTP/1\.1 200 OK, Last Error Number was 200\n)"
        R"(----------\n\r\n)");
    EXPECT_TRUE(std::regex_match(log, report)) << log;
    EXPECT_NE(smtp.Messages()[0].content.find("Looked for but did not find:all is well"), std::string::npos);
}

TEST_F(HeadlessLoopTest, SigtermEndsAStalledWatchWithoutAReport) {
    // A stalled fetch is cut before any alert; a stalled mail server after
    // the alert of the refused fetch began, whose report is logged first; a
    // ping to a loopback that ignores echoes (in a network namespace of its
    // own) before its time-out. Each time the service winds down on its own:
    // the connection is closed, and the cut step reports nothing.
    enum class Stall { Fetch, Mail, Ping };
    struct Case {
        const char* name;
        Stall stall;
        long alerts;
        const char* lastLine;  // nullptr: no line at all
    } cases[] = {
        {"fetch", Stall::Fetch, 0, "HTTP Disconnected..."},
        {"mail greeting", Stall::Mail, 1, "SMTP: Disconnected."},
        {"ping", Stall::Ping, 0, nullptr},
    };
    const std::vector<std::string> silentLoopback = {
        "/usr/bin/unshare", "-n", "/bin/sh", "-c",
        "ip link set lo up && echo 1 >/proc/sys/net/ipv4/icmp_echo_ignore_all && exec \"$0\" \"$@\""};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(Log());
        test::ScriptedPeer stalled({test::peer::Sleep(20000)});
        const std::string refused = "http://127.0.0.1:" + std::to_string(test::ClosedPort("127.0.0.1")) + "/";
        const std::string stalledPage = "http://127.0.0.1:" + std::to_string(stalled.Port()) + "/";
        const Settings ping = {{"PingOnly", c.stall == Stall::Ping ? "y" : ""}, {"PingAddr", "127.0.0.1"}};
        const std::filesystem::path settings = c.stall == Stall::Fetch
                                                   ? WriteSettings(stalledPage, test::ClosedPort("127.0.0.1"), ping)
                                                   : WriteSettings(refused, stalled.Port(), ping);
        auto service = StartService(settings, c.stall == Stall::Ping ? silentLoopback : std::vector<std::string>{});
        if (c.stall == Stall::Ping) {
            // The ping waits 10 s for its answer; it is well under way by then.
            std::this_thread::sleep_for(std::chrono::milliseconds(1000));
        } else {
            ASSERT_TRUE(WaitFor(*service, [&] { return stalled.ConnectionCount() == 1; })) << service->Errors();
            // The service is now waiting for the stalled peer.
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        ASSERT_TRUE(service->Running()) << service->Errors();
        StopWithinTheLimit(*service);

        const Lines pane = PaneTexts(service->Output());
        EXPECT_EQ(std::count(pane.begin(), pane.end(), "Sending e-mail alert..."), c.alerts) << service->Output();
        EXPECT_EQ(pane.empty() ? "" : pane.back(), c.lastLine ? c.lastLine : "");
        EXPECT_EQ(service->Errors(), "");
        const std::string log = test::ReadFile(Log());
        long reports = 0;
        for (size_t at = log.find(kReportEnd); at != std::string::npos; at = log.find(kReportEnd, at + 1)) ++reports;
        EXPECT_EQ(reports, c.alerts) << log;
        EXPECT_EQ(log.empty(), c.alerts == 0) << log;
    }
}

TEST_F(HeadlessLoopTest, SettingsThatCannotBeWatchedStopItAtOnce) {
    const struct {
        const char* interval;  // nullptr: no settings file
        std::string message;
    } cases[] = {
        {"often", "'often' is not a valid integer value.\n"},
        {"35792", "corvasse: Sorry, the watch interval must be a whole number of minutes from 0 to 35791.\n"},
        {nullptr, "corvasse: cannot read the settings file \"missing.conf\": No such file or directory\n"},
    };
    for (const auto& c : cases) {
        auto service = StartService(c.interval ? WriteSettings("http://127.0.0.1:1/", 1, {{"txtWatchFreq", c.interval}})
                                               : "missing.conf");
        EXPECT_EQ(service->Wait(kStartTimeoutMs), 2) << c.message;
        EXPECT_EQ(service->Errors(), c.message);
    }
}

long Count(const Lines& lines, const std::string& pattern) {
    const std::regex regex(pattern);
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return std::regex_match(line, regex); });
}

TEST_F(HeadlessLoopTest, OutageModeWritesEachResultAndTheNoticesAndMailsEachOutageOnce) {
    test::NginxServer web;
    web.WriteFile("index.html", "<p>all is well</p>\n");
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    auto service = StartService(WriteSettings(web.Url("/index.html"), smtp.Port(), kOutageMode));
    auto lines = [&] { return PaneTexts(service->Output()); };
    const std::string url = web.Url("/index.html");

    ASSERT_TRUE(WaitFor(*service, [&] { return Count(lines(), R"(Up: 19 bytes in \d+ ms)") > 0; }))
        << service->Errors();
    web.WriteFile("index.html", "<p>maintenance</p>\n");
    ASSERT_TRUE(WaitFor(*service, [&] { return Count(lines(), "Down since .*") >= 2; })) << service->Errors();
    web.WriteFile("index.html", "<p>all is well</p>\n");
    ASSERT_TRUE(WaitFor(*service, [&] { return Count(lines(), "Up: .*; back up after .*") == 1; }))
        << service->Errors();
    ASSERT_TRUE(smtp.WaitForMessages(2)) << smtp.Output();
    const long ups = Count(lines(), "Up: .*");
    ASSERT_TRUE(WaitFor(*service, [&] { return Count(lines(), "Up: .*") > ups; })) << service->Errors();
    StopWithinTheLimit(*service);

    const Lines texts = lines();
    EXPECT_EQ(Count(texts, "Down \\(1 of 2\\): the text was not on the page; no alert yet"), 1);
    EXPECT_EQ(Count(texts, "Down \\(2 of 2\\): the text was not on the page"), 1);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), url + " is down: the text was not on the page"), 1);
    EXPECT_EQ(Count(texts, std::regex_replace(url, std::regex(R"([.?])"), R"(\$&)") + R"( is back up after \d+ s)"), 1);
    EXPECT_EQ(service->Errors(), "");
    ASSERT_EQ(smtp.Messages().size(), 2u);
    EXPECT_NE(smtp.Messages()[0].content.find("Subject: Corvasse Alert: " + url), std::string::npos);
    EXPECT_NE(smtp.Messages()[1].content.find("Subject: Corvasse Recovered"), std::string::npos);
}

TEST_F(HeadlessLoopTest, ACorruptHistoryIsSaidOnceAndEveryFailedWatchAlerts) {
    test::NginxServer web;
    web.WriteFile("index.html", "<p>maintenance</p>\n");
    test::SmtpServer smtp(test::SmtpServer::Login::NotOffered);
    test::WriteFile(History(), std::string(5000, 'x'));
    auto service = StartService(WriteSettings(web.Url("/index.html"), smtp.Port(), kOutageMode));

    ASSERT_TRUE(smtp.WaitForMessages(3, kStartTimeoutMs)) << smtp.Output() << service->Errors();
    StopWithinTheLimit(*service);

    EXPECT_EQ(service->Errors(),
              "Cannot use the history database \"" + History().string() + "\": file is not a database\n");
    for (const test::ReceivedMail& mail : smtp.Messages()) {
        EXPECT_NE(mail.content.find("Subject: Corvasse Alert\r\n"), std::string::npos) << mail.content;
    }
}

}  // namespace
}  // namespace corvasse

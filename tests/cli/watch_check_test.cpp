// check_corvasse run as a monitoring engine runs it, against a loopback
// nginx, aiosmtpd and a stalled peer.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "support/child_process.h"
#include "support/nginx_server.h"
#include "support/scripted_peer.h"
#include "support/server_process.h"
#include "support/smtp_server.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace corvasse {
namespace {

using Settings = std::map<std::string, std::string>;

constexpr int kRunTimeoutMs = 30000;
constexpr const char* kPage = "<p>Welcome!</p>\n";  // 16 bytes
constexpr const char* kTime = R"(\d+\.\d{3})";

class WatchCheckTest : public ::testing::Test {
protected:
    WatchCheckTest() { web_.WriteFile("page.html", kPage); }

    // Writes the settings file; "@PAGE@" in a value stands for the page's address.
    std::filesystem::path WriteSettings(const Settings& values) {
        const std::filesystem::path file = dir_.Path() / "watch.conf";
        std::filesystem::remove(file);
        SettingsStore store = SettingsStore::AtFile(file);
        for (auto [key, value] : values) {
            value = std::regex_replace(value, std::regex("@PAGE@"), web_.Url("/page.html"));
            store.WriteSetting("Settings", key, value);
        }
        return file;
    }

    struct Run {
        std::optional<int> status;
        std::vector<std::string> lines;
        std::string errors;
    };

    Run Check(std::vector<std::string> args) {
        args.insert(args.begin(), CHECK_CORVASSE_BINARY);
        test::ChildProcess child(args, dir_.Path());
        const std::optional<int> status = child.Wait(kRunTimeoutMs);
        return {status, test::SplitLines(child.Output()), child.Errors()};
    }

    test::TempDir dir_;
    test::NginxServer web_;
};

TEST_F(WatchCheckTest, OneStatusLinePerOutcome) {
    const std::string refused = "http://127.0.0.1:" + std::to_string(test::FreePort("127.0.0.1")) + "/";
    const std::string page = R"(http://127\.0\.0\.1:\d+/page\.html)";
    const std::string perf = std::string(R"( \| time=)") + kTime + "s;;;0 size=16B;;;0";
    struct Case {
        const char* name;
        Settings settings;
        int status;
        std::string line;
    } cases[] = {
        {"text found",
         {{"url2watch", "@PAGE@"}, {"txtLookFor", "Welcome"}},
         0,
         "CORVASSE OK - " + page + " 16 bytes in " + kTime + " s" + perf},
        {"text missing",
         {{"url2watch", "@PAGE@"}, {"txtLookFor", "Goodbye"}},
         2,
         "CORVASSE CRITICAL - " + page + R"( did not contain "Goodbye")" + perf},
        {"size within",
         {{"url2watch", "@PAGE@"}, {"expfilesize", "16"}},
         0,
         "CORVASSE OK - " + page + " 16 bytes in " + kTime + " s" + perf},
        {"size over",
         {{"url2watch", "@PAGE@"}, {"expfilesize", " 15"}},
         2,
         "CORVASSE CRITICAL - " + page + " 16 bytes, more than the expected 15" + perf},
        {"refused",
         {{"url2watch", refused}, {"txtLookFor", "Welcome"}},
         2,
         "CORVASSE CRITICAL - " + std::regex_replace(refused, std::regex(R"(\.)"), R"(\.)") +
             R"(: Socket Error # 10061 Connection refused\.)"},
        {"ping",
         {{"PingOnly", "y"}, {"PingAddr", "127.0.0.1"}},
         0,
         R"(CORVASSE OK - 127\.0\.0\.1 replied in \d+ ms \| rta=\d+ms;;;0)"},
        {"no address", {{"txtLookFor", "Welcome"}}, 3, "CORVASSE UNKNOWN - no address to watch in .*/watch\\.conf"},
        {"no host", {{"PingOnly", "y"}}, 3, "CORVASSE UNKNOWN - no host to ping in .*/watch\\.conf"},
        {"bad size",
         {{"url2watch", "@PAGE@"}, {"expfilesize", "16 "}},
         3,
         "CORVASSE UNKNOWN - expected size: '16 ' is not a valid integer value in .*"},
        {"https",
         {{"url2watch", "https://127.0.0.1/"}, {"txtLookFor", "Welcome"}},
         3,
         R"(CORVASSE UNKNOWN - https://127\.0\.0\.1/: https:// addresses are watched only with allowHttps=y in .*)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Run run = Check({"--settings", WriteSettings(c.settings).string()});
        EXPECT_EQ(run.status, c.status);
        ASSERT_EQ(run.lines.size(), 1u) << run.errors;
        EXPECT_TRUE(std::regex_match(run.lines[0], std::regex(c.line))) << run.lines[0];
        EXPECT_EQ(run.errors, "");
    }
    // Without --alert nothing is logged.
    EXPECT_FALSE(std::filesystem::exists(dir_.Path() / "Corvasse.log"));
}

TEST_F(WatchCheckTest, UnusableCommandLinesAreUnknown) {
    const std::vector<std::string> cases[] = {
        {"--settings", (dir_.Path() / "missing.conf").string()},
        {"--settings", dir_.Path().string()},
        {"--timeout", "0"},
        {"--timeout"},
        {"--warning", "3"},
        {"extra"},
    };
    for (const auto& args : cases) {
        SCOPED_TRACE(args[0]);
        const Run run = Check(args);
        EXPECT_EQ(run.status, 3);
        ASSERT_EQ(run.lines.size(), 1u);
        EXPECT_TRUE(run.lines[0].starts_with("CORVASSE UNKNOWN - ")) << run.lines[0];
        EXPECT_TRUE(run.errors.starts_with("check_corvasse: ")) << run.errors;
    }
}

TEST_F(WatchCheckTest, AlertSendsTheMailAndLogsTheReportAsTheWindowDoes) {
    test::TestCertificates();
    const struct {
        test::SmtpServer::Tls tls;
        const char* mailSecurity;
    } cases[] = {{test::SmtpServer::Tls::None, ""}, {test::SmtpServer::Tls::StartTls, "starttls"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mailSecurity);
        test::SmtpServer smtp(test::SmtpServer::Login::NotOffered, "127.0.0.1", c.tls);
        const std::filesystem::path settings = WriteSettings({{"url2watch", "@PAGE@"},
                                                              {"txtLookFor", "Goodbye"},
                                                              {"checktype", "lookfor"},
                                                              {"txtSMTPhost", smtp.Host()},
                                                              {"port", std::to_string(smtp.Port())},
                                                              {"mailSecurity", c.mailSecurity},
                                                              {"txtSendTo", "alerts@example.org"},
                                                              {"txtYourEmail", "me@example.org"}});
        const std::filesystem::path log = dir_.Path() / "alerts.log";
        std::filesystem::remove(log);

        const Run silent = Check({"--settings", settings.string(), "--log", log.string()});
        EXPECT_EQ(silent.status, 2);
        const Run alerting = Check({"--settings", settings.string(), "--log", log.string(), "--alert"});
        EXPECT_EQ(alerting.status, 2);
        ASSERT_EQ(alerting.lines.size(), 1u);
        EXPECT_TRUE(alerting.lines[0].starts_with("CORVASSE CRITICAL - ")) << alerting.lines[0];
        EXPECT_EQ(alerting.lines[0].find("alert failed"), std::string::npos) << alerting.lines[0];

        ASSERT_TRUE(smtp.WaitForMessages(1)) << smtp.Output();
        EXPECT_EQ(smtp.Messages().size(), 1u);
        EXPECT_EQ(smtp.Messages()[0].rcptTo, std::vector<std::string>{"alerts@example.org"});
        EXPECT_NE(smtp.Messages()[0].content.find("Looked for but did not find:Goodbye"), std::string::npos);
        const std::regex report(
            R"(\d\d/\d\d/\d{4}, \d\d:\d\d (AM|PM)\nWatching address: http://127\.0\.0\.1:\d+/page\.html\n)"
            R"(Looked for but did not find:Goodbye\nHTTP reply #:HTTP/1\.1 200 OK, Last Error Number was 200\n)"
            R"(----------\n\r\n)");
        const std::string logged = test::ReadFile(log);
        EXPECT_TRUE(std::regex_match(logged, report)) << logged;
    }
}

TEST_F(WatchCheckTest, TimeoutBoundsTheWholeCheck) {
    test::ScriptedPeer stalled({test::peer::Sleep(20000)});
    const std::string address = "http://127.0.0.1:" + std::to_string(stalled.Port()) + "/";
    const std::filesystem::path settings = WriteSettings({{"url2watch", address}, {"txtLookFor", "Welcome"}});

    const auto start = std::chrono::steady_clock::now();
    const Run run = Check({"--settings", settings.string(), "--timeout=1"});
    const auto elapsed = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.lines, std::vector<std::string>{"CORVASSE CRITICAL - " + address + ": no result within 1 s"});
    EXPECT_LT(elapsed, std::chrono::seconds(3));
}

TEST_F(WatchCheckTest, LinksNoQtLibrary) {
    test::ChildProcess ldd({"/usr/bin/ldd", CHECK_CORVASSE_BINARY}, dir_.Path());
    ASSERT_EQ(ldd.Wait(kRunTimeoutMs), 0);
    EXPECT_NE(ldd.Output().find("libc.so"), std::string::npos);
    EXPECT_EQ(ldd.Output().find("libQt"), std::string::npos) << ldd.Output();
}

}  // namespace
}  // namespace corvasse

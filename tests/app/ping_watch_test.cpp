// A ping watch from end to end: the watch with the real ping component.

#include <unistd.h>

#include <regex>

#include <gtest/gtest.h>

#include "app/activity_log.h"
#include "app/fakes.h"
#include "app/ping_error_report.h"
#include "app/pinger_ping_client.h"
#include "app/settings_store.h"
#include "app/watch.h"
#include "app/watch_state.h"
#include "ping/pinger.h"
#include "support/isolated_network.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

struct WatchResult {
    std::vector<std::string> pane;
    std::string log;
    int alerts = 0;
    std::string watchCount;
};

// Runs one tick of a ping watch of host and collects what it wrote.
WatchResult RunPingWatch(const std::string& host) {
    test::TempDir temp;
    test::FakeFormFields form;
    form.texts[Field::editIPaddr] = host;
    form.texts[Field::txtWatchFreq] = "15";
    test::FakeMonitorView view;
    test::FakeDialogs dialogs;
    SettingsStore settings(temp.Path() / "config");
    settings.WriteSetting("Settings", "PingOnly", "y");
    ActivityLog log(temp.Path() / "Corvasse.log");
    test::FakeWebClient web;
    Pinger pinger;
    PingerPingClient client(pinger);
    PingErrorReport errors(view, log);
    errors.Bind(pinger);
    test::FakeAlertSender alert;
    WatchState state;
    Watch watch(form, view, dialogs, settings, log, web, client, alert, state);

    watch.Run();

    WatchResult result;
    result.pane = view.lines;
    result.log = test::ReadFile(temp.Path() / "Corvasse.log");
    result.alerts = alert.attempts + static_cast<int>(web.calls.size());
    result.watchCount = view.watchCountText;
    return result;
}

const std::string kDate = R"(\S.*\S)";

TEST(PingWatchTest, AnsweredPingWritesTheResponseTimeOverEitherFamily) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for a raw socket";
    test::ScopedNetNamespace network;  // its loopback has ::1, whatever the machine's has
    for (const char* host : {"  127.0.0.1 \t", "::1", "[::1]"}) {
        SCOPED_TRACE(host);
        const WatchResult result = RunPingWatch(host);
        ASSERT_EQ(result.pane.size(), 1u);
        EXPECT_TRUE(std::regex_match(result.pane[0], std::regex(kDate + R"( - Ping response time: \d+ \(ms\))")))
            << result.pane[0];
        EXPECT_TRUE(std::regex_match(result.log, std::regex(kDate + R"( - Ping response time: \d+ \(ms\)\r\n)")))
            << result.log;
        EXPECT_EQ(result.alerts, 0);
        EXPECT_EQ(result.watchCount, "Watch count:1");
    }
}

TEST(PingWatchTest, UnresolvableHostWritesTheErrorLinesFirst) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for network namespaces";
    const std::string outcome = test::RunInChild([] {
        test::EnterNxDomainNetwork();
        const WatchResult result = RunPingWatch(" no-such-host.invalid ");
        std::string text;
        for (const auto& line : result.pane) {
            text += line + "\n";
        }
        return text + "--\n" + result.log + "--\n" + std::to_string(result.alerts) + " " + result.watchCount;
    });
    const std::regex expected(kDate + R"( - error Pinging site:no-such-host\.invalid\n)" + kDate +
                              R"( - Ping response time: \d+ \(ms\)\n--\n)" + kDate +
                              R"( - error pinging site\.no-such-host\.invalid\r\n)" + kDate +
                              R"( - Ping response time: \d+ \(ms\)\r\n--\n0 Watch count:1)");
    EXPECT_TRUE(std::regex_match(outcome, expected)) << outcome;
}

}  // namespace
}  // namespace corvasse

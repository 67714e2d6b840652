// A ping watch from end to end: the watch with the real ping component.

#include <unistd.h>

#include <regex>

#include <gtest/gtest.h>

#include "app/view/ping_error_report.h"
#include "app/watch/pinger_ping_client.h"
#include "app/watch_rig.h"
#include "ping/pinger.h"
#include "support/isolated_network.h"

namespace corvasse {
namespace {

struct PingOutcome {
    std::vector<std::string> pane;
    std::string log;
    int alerts = 0;
    std::string watchCount;
};

// Runs one tick of a ping watch of host and collects what it wrote.
PingOutcome RunPingWatch(const std::string& host) {
    Pinger pinger;
    PingerPingClient client(pinger);
    test::WatchRig rig(nullptr, &client);
    rig.form.texts[Field::editIPaddr] = host;
    rig.form.texts[Field::txtWatchFreq] = "15";
    rig.settings.WriteSetting("Settings", "PingOnly", "y");
    PingErrorReport errors(rig.view, rig.log);
    errors.Bind(pinger);
    rig.watch.Run();
    return {rig.view.lines, test::ReadFile(rig.logFile),
            rig.alert.attempts + static_cast<int>(rig.fakeWeb.calls.size()), rig.view.watchCountText};
}

const std::string kDate = R"(\S.*\S)";

TEST(PingWatchTest, AnsweredPingWritesTheResponseTimeOverEitherFamily) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for a raw socket";
    test::ScopedNetNamespace network;  // its loopback has ::1, whatever the machine's has
    for (const char* host : {"  127.0.0.1 \t", "::1", "[::1]"}) {
        SCOPED_TRACE(host);
        const PingOutcome result = RunPingWatch(host);
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
        const PingOutcome result = RunPingWatch(" no-such-host.invalid ");
        std::string text;
        for (const auto& line : result.pane) text += line + "\n";
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

// "Is it me?": failed watches while this computer is offline, in network
// namespaces of the test's own that have no route out (the real HTTP client
// and ping component, the kernel's routes, a resolver that cannot be
// reached, reference hosts that answer and that do not), and the wait after
// a wake-up that a stand-in clock simulates.

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/watch/http_web_client.h"
#include "app/watch/pinger_ping_client.h"
#include "app/watch_rig.h"
#include "common/file_descriptor.h"
#include "http/http_client.h"
#include "ping/pinger.h"
#include "support/isolated_network.h"
#include "support/loopback.h"
#include "support/nginx_server.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

struct OfflineCase {
    const char* name;
    bool ping;
    const char* offlineAware;  // nullptr: absent
    const char* target;
    const char* referenceHost;  // nullptr: absent
    // The pane's lines, then "alert" for each alert, "log" when the log was
    // written, and the state and reason of each result of the history.
    std::string outcome;
    bool outageMode = false;
};

const char* StateName(ResultState state) {
    switch (state) {
        case ResultState::Up: return "up";
        case ResultState::Down: return "down";
        case ResultState::Unknown: break;
    }
    return "unknown";
}

std::string RunCase(const OfflineCase& c, const std::string& target) {
    HttpClient http;
    HttpWebClient web(http);
    Pinger pinger;
    pinger.Timeout = 2s;
    PingerPingClient pingClient(pinger);
    test::WatchRig rig(&web, &pingClient);
    rig.form.texts[Field::txtURL2watch] = target;
    rig.form.texts[Field::editIPaddr] = target;
    rig.form.texts[Field::txtLookFor] = "all is well";
    if (c.ping) rig.settings.WriteSetting("Settings", "PingOnly", "y");
    if (c.offlineAware) rig.settings.WriteSetting("Settings", "offlineAware", c.offlineAware);
    if (c.referenceHost) rig.settings.WriteSetting("Settings", "referenceHost", c.referenceHost);
    if (c.outageMode) {
        rig.settings.WriteSetting("Settings", "outageAlerts", "y");
        rig.settings.WriteSetting("Settings", "alertAfter", "1");
    }
    rig.watch.Run();
    std::string text;
    // Without the date and time that begin the ping's lines; "T " for a result's time of day.
    const std::regex stamp(R"(^.* - )"), time(R"(^\d\d:\d\d:\d\d )");
    for (const auto& line : rig.view.lines) {
        text += std::regex_replace(std::regex_replace(line, stamp, ""), time, "T ") + "\n";
    }
    for (int i = 0; i < rig.alert.attempts + static_cast<int>(rig.alert.outageAlerts.size()); ++i) text += "alert\n";
    if (std::filesystem::exists(rig.logFile)) text += "log\n";
    for (const WatchResult& result : rig.History()) text += std::string(StateName(result.state)) + ": " + result.reason;
    return text;
}

TEST(OfflineWatchTest, AFailureIsNotCountedWhileThisComputerCannotReachTheSite) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for network namespaces";
    const OfflineCase cases[] = {
        {"not asked for", false, nullptr, "http://203.0.113.5/", nullptr,
         "alert\ndown: Socket Error # 10051 Network is unreachable."},
        {"asked for, then cleared", false, "", "http://203.0.113.5/", nullptr,
         "alert\ndown: Socket Error # 10051 Network is unreachable."},
        {"no route to the site", false, "y", "http://203.0.113.5/", nullptr,
         "T Offline (no route to 203.0.113.5): this watch is not counted\nunknown: no route to 203.0.113.5"},
        {"no route to the site's IPv6 address", false, "y", "http://[2001:db8::5]/", nullptr,
         "T Offline (no route to [2001:db8::5]): this watch is not counted\nunknown: no route to [2001:db8::5]"},
        {"no name, no route, no resolver", false, "y", "http://nowhere.test/", nullptr,
         "T Offline (name look-up failed and no network): this watch is not counted\n"
         "unknown: name look-up failed and no network"},
        {"a refusing site and a silent reference", false, "y", "http://127.0.0.1:9/", "silent.test",
         "T Offline (reference silent.test unreachable): this watch is not counted\n"
         "unknown: reference silent.test unreachable"},
        {"a refusing site and a reference that answers", false, "y", "http://127.0.0.1:9/", "answers.test",
         "alert\ndown: Socket Error # 10061 Connection refused."},
        {"a site that answered, a silent reference", false, "y", "@WEB@/missing.html", "silent.test",
         "alert\ndown: HTTP/1.1 404 Not Found"},
        {"outage mode: no outage begins", false, "y", "http://203.0.113.5/", nullptr,
         "T Offline (no route to 203.0.113.5): this watch is not counted\nunknown: no route to 203.0.113.5", true},
        {"outage mode, not asked for: the outage begins", false, nullptr, "http://203.0.113.5/", nullptr,
         "T Down (1 of 1): Socket Error # 10051 Network is unreachable.\nalert\ndown: Socket Error # 10051 Network is "
         "unreachable.",
         true},
        {"a ping without a route", true, "y", "203.0.113.5", nullptr,
         "T Offline (no route to 203.0.113.5): this watch is not counted\nunknown: no route to 203.0.113.5"},
        {"a ping without a route, not asked for", true, nullptr, "203.0.113.5", nullptr,
         "error Pinging site:203.0.113.5\nPing response time: 0 (ms)\nlog\ndown: 10051: Network is unreachable"},
    };
    for (const auto& c : cases) {
        const std::string outcome = test::RunInChild([&] {
            // Only the loopback: no route out, and a name server that cannot
            // be reached. The answering reference listens on port 443 here.
            test::EnterNetworkWithHosts("127.0.0.1 answers.test\n203.0.113.9 silent.test\n");
            test::MountTextOver("/etc/resolv.conf", "nameserver 203.0.113.53\noptions attempts:1 timeout:1\n");
            const FileDescriptor listener = test::BindLoopback(SOCK_STREAM, "127.0.0.1", 443);
            if (listen(listener.Get(), 8) != 0) throw std::runtime_error("cannot listen on port 443");
            // "@WEB@": a page of a loopback nginx.
            std::optional<test::NginxServer> web;
            std::string target = c.target;
            if (target.starts_with("@WEB@")) target = web.emplace().Url(target.substr(5));
            return RunCase(c, target);
        });
        EXPECT_EQ(outcome, c.outcome) << c.name;
    }
}

struct SteppedClock : SuspendClock {
    std::chrono::nanoseconds suspended{0};
    std::chrono::nanoseconds TimeSuspended() const override { return suspended; }
};

TEST(OfflineWatchTest, TheFirstWatchAfterAWakeUpWaitsItsGrace) {
    const struct {
        const char* name;
        const char* offlineAware;
        const char* grace;
        std::vector<std::string> lines;
    } cases[] = {
        {"not asked for", nullptr, "1", {}},
        {"asked for", "y", "1", {"This computer has just woken up: the watch waits 1 s."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SteppedClock clock;
        test::WatchRig rig(nullptr, nullptr, clock);
        rig.form.texts[Field::txtURL2watch] = "http://127.0.0.1/";
        rig.form.texts[Field::txtLookFor] = "all is well";
        if (c.offlineAware) rig.settings.WriteSetting("Settings", "offlineAware", c.offlineAware);
        rig.settings.WriteSetting("Settings", "resumeGraceSeconds", c.grace);
        rig.fakeWeb.body = "all is well";
        Watch& watch = rig.watch;
        watch.Run();
        clock.suspended += 8h;
        const auto start = std::chrono::steady_clock::now();
        watch.Run();
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(rig.view.lines, c.lines);
        if (!c.lines.empty()) {
            EXPECT_GE(waited, 1s);
        }
        // Only the first watch after the sleep waits.
        watch.Run();
        EXPECT_EQ(rig.view.lines, c.lines);
        EXPECT_EQ(rig.fakeWeb.calls.size(), 6u);
    }
}

}  // namespace
}  // namespace corvasse

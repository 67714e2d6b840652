// "Is it me?": failed watches while this computer is offline, in network
// namespaces of the test's own that have no route out (the real HTTP client
// and ping component, the kernel's routes, a resolver that cannot be
// reached, reference hosts that answer and that do not), and the wait after
// a wake-up that a stand-in clock simulates.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/activity_log.h"
#include "app/fakes.h"
#include "app/http_web_client.h"
#include "app/pinger_ping_client.h"
#include "app/setting_keys.h"
#include "app/settings_store.h"
#include "app/watch.h"
#include "app/watch_state.h"
#include "common/file_descriptor.h"
#include "http/http_client.h"
#include "ping/pinger.h"
#include "support/isolated_network.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

struct OfflineCase {
    const char* name;
    bool ping;
    const char* offlineAware;  // nullptr: absent
    const char* target;
    const char* referenceHost;  // nullptr: absent
    // The pane's lines, or "alert" when the failure counted.
    std::string outcome;
};

// Runs one watch of the case and says what came of it: the pane's lines,
// "alert" for each alert, "log" when the log was written.
std::string RunCase(const OfflineCase& c) {
    test::TempDir temp;
    test::FakeFormFields form;
    form.texts[Field::txtURL2watch] = c.target;
    form.texts[Field::editIPaddr] = c.target;
    form.texts[Field::txtLookFor] = "all is well";
    test::FakeMonitorView view;
    test::FakeDialogs dialogs;
    SettingsStore settings(temp.Path() / "config");
    if (c.ping) settings.WriteSetting("Settings", "PingOnly", "y");
    if (c.offlineAware) settings.WriteSetting("Settings", "offlineAware", c.offlineAware);
    if (c.referenceHost) settings.WriteSetting("Settings", "referenceHost", c.referenceHost);
    ActivityLog log(temp.Path() / "Corvasse.log");
    HttpClient http;
    HttpWebClient web(http);
    Pinger pinger;
    pinger.Timeout = 2s;
    PingerPingClient pingClient(pinger);
    test::FakeAlertSender alert;
    WatchState state;
    Watch watch(form, view, dialogs, settings, log, web, pingClient, alert, state);
    watch.Run();
    std::string text;
    for (const auto& line : view.lines) text += (c.ping ? line.substr(line.find(" - ") + 1) : line) + "\n";
    for (int i = 0; i < alert.attempts; ++i) text += "alert\n";
    if (std::filesystem::exists(temp.Path() / "Corvasse.log")) text += "log\n";
    return text;
}

TEST(OfflineWatchTest, AFailureIsNotCountedWhileThisComputerCannotReachTheSite) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root for network namespaces";
    const OfflineCase cases[] = {
        {"not asked for", false, nullptr, "http://203.0.113.5/", nullptr, "alert\n"},
        {"asked for, then cleared", false, "", "http://203.0.113.5/", nullptr, "alert\n"},
        {"no route to the site", false, "y", "http://203.0.113.5/", nullptr,
         "Offline (no route to 203.0.113.5): this watch is not counted\n"},
        {"no route to the site's IPv6 address", false, "y", "http://[2001:db8::5]/", nullptr,
         "Offline (no route to [2001:db8::5]): this watch is not counted\n"},
        {"no name, no route, no resolver", false, "y", "http://nowhere.test/", nullptr,
         "Offline (name look-up failed and no network): this watch is not counted\n"},
        {"a refusing site and a silent reference", false, "y", "http://127.0.0.1:9/", "silent.test",
         "Offline (reference silent.test unreachable): this watch is not counted\n"},
        {"a refusing site and a reference that answers", false, "y", "http://127.0.0.1:9/", "answers.test", "alert\n"},
        {"a ping without a route", true, "y", "203.0.113.5", nullptr,
         "Offline (no route to 203.0.113.5): this watch is not counted\n"},
        {"a ping without a route, not asked for", true, nullptr, "203.0.113.5", nullptr,
         "- error Pinging site:203.0.113.5\n- Ping response time: 0 (ms)\nlog\n"},
    };
    for (const auto& c : cases) {
        const std::string outcome = test::RunInChild([&] {
            // Only the loopback: no route out, and a name server that cannot
            // be reached. The answering reference listens on port 443 here.
            test::EnterNetworkWithHosts("127.0.0.1 answers.test\n203.0.113.9 silent.test\n");
            test::MountTextOver("/etc/resolv.conf", "nameserver 203.0.113.53\noptions attempts:1 timeout:1\n");
            const FileDescriptor listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(443);
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                listen(listener.Get(), 8) != 0) {
                throw std::runtime_error("cannot listen on port 443");
            }
            return RunCase(c);
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
        test::TempDir temp;
        test::FakeFormFields form;
        form.texts[Field::txtURL2watch] = "http://127.0.0.1/";
        form.texts[Field::txtLookFor] = "all is well";
        test::FakeMonitorView view;
        test::FakeDialogs dialogs;
        SettingsStore settings(temp.Path() / "config");
        if (c.offlineAware) settings.WriteSetting("Settings", "offlineAware", c.offlineAware);
        settings.WriteSetting("Settings", "resumeGraceSeconds", c.grace);
        ActivityLog log(temp.Path() / "Corvasse.log");
        test::FakeWebClient web;
        web.body = "all is well";
        test::FakePingClient pinger;
        test::FakeAlertSender alert;
        WatchState state;
        SteppedClock clock;
        Watch watch(form, view, dialogs, settings, log, web, pinger, alert, state, clock);
        watch.Run();
        clock.suspended += 8h;
        const auto start = std::chrono::steady_clock::now();
        watch.Run();
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(view.lines, c.lines);
        if (!c.lines.empty()) {
            EXPECT_GE(waited, 1s);
        }
        // The wait comes before the fetch; only one watch waits.
        watch.Run();
        EXPECT_EQ(view.lines, c.lines);
        EXPECT_EQ(web.calls.size(), 6u);
    }
}

TEST(OfflineWatchTest, ResumeGraceSetting) {
    test::TempDir temp;
    SettingsStore settings(temp.Path() / "config");
    const std::pair<const char*, std::chrono::seconds> cases[] = {
        {nullptr, 30s}, {"45", 45s}, {"0", 0s}, {"-5", 30s}, {"soon", 30s},
    };
    for (const auto& [value, grace] : cases) {
        if (value) settings.WriteSetting("Settings", "resumeGraceSeconds", value);
        EXPECT_EQ(ResumeGraceSetting(settings), grace) << (value ? value : "absent");
    }
}

}  // namespace
}  // namespace corvasse

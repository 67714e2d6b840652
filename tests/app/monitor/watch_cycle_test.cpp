#include "app/monitor/watch_cycle.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <regex>

#include <gtest/gtest.h>

#include "app/monitor/direct_watch_runner.h"
#include "app/settings/watch_interval.h"
#include "app/watch_rig.h"
#include "common/byte_string.h"
#include "common/date_time_text.h"
#include "common/process_abort.h"
#include "support/expect_throw.h"

namespace corvasse {
namespace {

using Lines = std::vector<std::string>;

class WatchCycleTest : public ::testing::Test, protected test::WatchRig {
protected:
    WatchCycleTest() {
        form.texts[Field::txtWatchFreq] = "15";
        form.texts[Field::txtURL2watch] = "http://127.0.0.1:8080/index.html";
        form.texts[Field::txtLookFor] = "Welcome";
        fakeWeb.body = "<h1>Welcome</h1>";
    }

    test::FakeTimer timer;
    ScheduledTimer scheduledTimer{timer, schedule};
    DirectWatchRunner runner{watch, boxes, state};
    WatchCycle cycle{form, view, boxes, scheduledTimer, runner, settings, schedule};
};

TEST_F(WatchCycleTest, StartArmsTheTimerInMinutesAndWatchesAtOnce) {
    view.lines = {"old line"};
    cycle.StartWatching();
    EXPECT_TRUE(timer.enabled);
    EXPECT_EQ(timer.interval, 900000u);
    ASSERT_GE(view.statusHistory.size(), 2u);
    EXPECT_EQ(view.statusHistory[0], "Timer set to 900000 millisecond interval.");
    EXPECT_EQ(view.statusText, "Watching...");
    EXPECT_EQ(view.watchCountText, "Watch count:1");
    EXPECT_TRUE(view.lines.empty());
    EXPECT_EQ(fakeWeb.calls, (Lines{"get:http://127.0.0.1:8080/index.html", "disconnect"}));
    EXPECT_EQ(fakeWeb.connectTimeout, std::chrono::milliseconds(120000));
    EXPECT_EQ(alert.attempts, 0);
    EXPECT_EQ(state.outcome.textFound, true);
}

TEST_F(WatchCycleTest, TicksThatFallDueWhileATicksBoxIsOpenAreSkipped) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string box;
        int countedTicks;
    } cases[] = {
        {"the HTTPS refusal", [&] { form.texts[Field::txtURL2watch] = "https://127.0.0.1/"; },
         "message:Sorry, we do not support HTTPS protocol at this time.", 1},
        {"the error box of a failed tick",
         [&] {
             form.texts[Field::txtURL2watch] = "http://127.0.0.1:8080/index.html";
             alert.failure = "Connect timed out";
         },
         "error:Connect timed out.", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.calls.clear();
        state.WatchCount = 0;
        fakeWeb.failure = "Read Timeout";
        c.arrange();
        // Three ticks fall due while the first box is open.
        bool open = false;
        dialogs.onMessage = dialogs.onError = [&] {
            if (open) return;
            open = true;
            for (int i = 0; i < 3; ++i) cycle.TimerTick();
            open = false;
        };
        cycle.TimerTick();
        EXPECT_EQ(std::count(dialogs.calls.begin(), dialogs.calls.end(), c.box), 1);
        EXPECT_EQ(state.WatchCount, c.countedTicks) << "skipped ticks are not counted";
        // The box is closed: the next tick runs as usual.
        cycle.TimerTick();
        EXPECT_EQ(std::count(dialogs.calls.begin(), dialogs.calls.end(), c.box), 2);
    }
}

TEST_F(WatchCycleTest, IntervalIsWholeMinutesTheTimerCanHoldOrSecondsSetByHand) {
    // Beyond 35791 minutes the milliseconds pass 2^31 - 1, and wrap in 32
    // bits further on (71583 minutes would tick every 12.7 s).
    const struct {
        const char* text;
        const char* seconds;
        std::optional<uint32_t> interval;  // none: refused with the message
        const char* refusal;
    } cases[] = {
        {"0", "", 0u, nullptr},
        {"$10", "", 960000u, nullptr},
        {"35791", "", 2147460000u, nullptr},
        {"35792", "", std::nullopt, kInvalidIntervalMessage},
        {"71583", "", std::nullopt, kInvalidIntervalMessage},
        {"-1", "", std::nullopt, kInvalidIntervalMessage},
        {"abc", "", std::nullopt, "'abc' is not a valid integer value"},
        // The seconds replace the minutes, whatever those hold.
        {"abc", "30", 30000u, nullptr},
        {"15", "1", 1000u, nullptr},
        {"15", "86400", 86400000u, nullptr},
        {"15", "0", std::nullopt, kInvalidIntervalSecondsMessage},
        {"15", "86401", std::nullopt, kInvalidIntervalSecondsMessage},
        {"15", "1.5", std::nullopt, kInvalidIntervalSecondsMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.seconds);
        form.texts[Field::txtWatchFreq] = c.text;
        settings.WriteSetting("Settings", "intervalSeconds", c.seconds);
        const uint32_t intervalBefore = timer.interval;
        const size_t statusesBefore = view.statusHistory.size();
        const size_t callsBefore = fakeWeb.calls.size();
        std::string refusal;
        try {
            cycle.StartWatching();
        } catch (const std::exception& error) {
            refusal = error.what();
        }
        EXPECT_EQ(form.texts[Field::lblIntervalSeconds], c.seconds);
        if (c.interval) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(timer.interval, *c.interval);
            EXPECT_EQ(view.statusHistory.end()[-2],
                      "Timer set to " + std::to_string(*c.interval) + " millisecond interval.");
        } else {
            // Refused before the timer is touched or anything is watched.
            EXPECT_EQ(refusal, c.refusal);
            EXPECT_EQ(timer.interval, intervalBefore);
            EXPECT_EQ(view.statusHistory.size(), statusesBefore);
            EXPECT_EQ(fakeWeb.calls.size(), callsBefore);
        }
    }
}

TEST_F(WatchCycleTest, RestartWithTheSameIntervalKeepsTheSchedule) {
    cycle.StartWatching();
    EXPECT_EQ(timer.periodRestarts, 2);  // enabled, then given 900000 instead of its initial 1000
    cycle.StartWatching();
    EXPECT_EQ(timer.periodRestarts, 2);
    form.texts[Field::txtWatchFreq] = "5";
    cycle.StartWatching();
    EXPECT_EQ(timer.periodRestarts, 3);
}

TEST_F(WatchCycleTest, BadIntervalAtTheFirstStartLeavesTheTimerOff) {
    form.texts[Field::txtWatchFreq] = "abc";
    test::ExpectThrowWithMessage<ConversionError>([&] { cycle.StartWatching(); }, "'abc' is not a valid integer value");
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(timer.interval, 1000u);
}

TEST_F(WatchCycleTest, StopDisarmsButTheCountGoesOn) {
    cycle.StartWatching();
    view.progressPosition = 40;
    cycle.StopWatching();
    EXPECT_FALSE(timer.enabled);
    EXPECT_EQ(view.statusText, "Watching process stopped...");
    EXPECT_EQ(view.progressPosition, 0);
    cycle.StartWatching();
    EXPECT_EQ(view.watchCountText, "Watch count:2");
    EXPECT_EQ(state.WatchCount, 2);
}

TEST_F(WatchCycleTest, EachWebWatchAlertsAndCountsAsItsChecksSay) {
    enum class Fails { Nothing, Disconnect, Mail, FetchAndMail };
    const std::string page = "<h1>Welcome</h1>" + std::string(984, ' ');  // 1000 bytes
    const struct {
        const char* name;
        std::string body;
        const char* size;
        const char* lookFor;
        Fails fails;
        int alerts;  // delivery attempts
        bool disconnected;
        bool found;
    } rows[] = {
        {"the text found", page, "", "Welcome", Fails::Nothing, 0, true, true},
        // The size wins over the text, and alerts only for a longer body.
        {"the size expected", page, "1000", "Welcome", Fails::Nothing, 0, true, false},
        {"a byte longer", page, "999", "Welcome", Fails::Nothing, 1, true, false},
        {"a byte shorter", page, "1001", "Welcome", Fails::Nothing, 0, true, false},
        {"a size after a blank", page, " 999", "Welcome", Fails::Nothing, 1, true, false},
        {"any body against 0", page, "0", "Welcome", Fails::Nothing, 1, true, false},
        {"an empty body against 0", "", "0", "Welcome", Fails::Nothing, 0, true, false},
        // Alerted through the error path, which skips the disconnect.
        {"a size that does not convert", page, "1000 ", "Welcome", Fails::Nothing, 1, false, false},
        {"the text check is case-sensitive", page, "", "welcome", Fails::Nothing, 1, true, false},
        {"no text and a blank size always alert", page, "   ", "", Fails::Nothing, 1, true, false},
        {"a failed disconnect", page, "", "Welcome", Fails::Disconnect, 1, true, true},
        // The failed delivery leaves the watch uncounted and the status as it was.
        {"a delivery failing from the check is tried twice", page, "", "missing", Fails::Mail, 2, false, false},
        {"and once after a failed fetch", page, "", "Welcome", Fails::FetchAndMail, 1, false, false},
    };
    const std::string url = form.texts[Field::txtURL2watch];
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::WatchRig rig;
        rig.form.texts = {{Field::txtURL2watch, url}, {Field::txtFileSize, row.size}, {Field::txtLookFor, row.lookFor}};
        rig.fakeWeb.body = row.body;
        rig.fakeWeb.disconnectFailure = row.fails == Fails::Disconnect ? "Disconnected." : "";
        rig.fakeWeb.failure = row.fails == Fails::FetchAndMail ? "Read Timeout" : "";
        rig.alert.failure = row.fails >= Fails::Mail ? "Socket Error # 10061\r\nConnection refused." : "";
        rig.view.statusText = "before";
        if (row.fails >= Fails::Mail) {
            EXPECT_THROW(rig.watch.Run(), std::runtime_error);
            EXPECT_EQ(rig.view.statusText, "before");
        } else {
            rig.watch.Run();
        }
        EXPECT_EQ(rig.alert.attempts, row.alerts);
        const Lines fetched = {"get:" + url, "disconnect"};
        EXPECT_EQ(rig.fakeWeb.calls, row.disconnected ? fetched : Lines{fetched[0]});
        EXPECT_EQ(rig.state.outcome.textFound, row.found);
        EXPECT_EQ(rig.state.outcome.pageLength, rig.fakeWeb.failure.empty() ? row.body.size() : 0);
        EXPECT_EQ(rig.state.WatchCount, row.fails >= Fails::Mail ? 0 : 1);
        EXPECT_EQ(rig.view.watchCountText, row.fails >= Fails::Mail ? "" : "Watch count:1");
    }
}

TEST_F(WatchCycleTest, FailedFetchAlertsOnceAndKeepsTheEarlierFoundFlag) {
    watch.Run();
    EXPECT_EQ(state.outcome.textFound, true);
    EXPECT_EQ(state.outcome.pageLength, 16);
    fakeWeb.failure = "Socket Error # 10061\r\nConnection refused.";
    watch.Run();
    EXPECT_EQ(alert.attempts, 1);
    EXPECT_EQ(state.outcome.textFound, true);
    EXPECT_EQ(state.outcome.pageLength, 0);
    EXPECT_EQ(view.watchCountText, "Watch count:2");
}

TEST_F(WatchCycleTest, HttpsAddressIsRefusedWithABeepOnEveryTick) {
    for (const char* url : {"https://example.com/", "http://host/?next=https://x"}) {
        form.texts[Field::txtURL2watch] = url;
        dialogs.calls.clear();
        watch.Run();
        EXPECT_EQ(dialogs.calls, (Lines{"beep", "message:Sorry, we do not support HTTPS protocol at this time."}));
    }
    EXPECT_TRUE(fakeWeb.calls.empty());
    EXPECT_EQ(alert.attempts, 0);
    EXPECT_EQ(view.watchCountText, "Watch count:2");
    EXPECT_FALSE(std::filesystem::exists(logFile));

    form.texts[Field::txtURL2watch] = "HTTPS://127.0.0.1/";
    watch.Run();
    EXPECT_EQ(fakeWeb.calls.front(), "get:HTTPS://127.0.0.1/");
}

TEST_F(WatchCycleTest, AllowHttpsSettingLetsHttpsThroughReadAfreshEachTick) {
    form.texts[Field::txtURL2watch] = "https://127.0.0.1/index.html";
    settings.WriteSetting("Settings", "allowHttps", "y");
    watch.Run();
    EXPECT_TRUE(dialogs.calls.empty());
    EXPECT_EQ(fakeWeb.calls, (Lines{"get:https://127.0.0.1/index.html", "disconnect"}));
    EXPECT_EQ(fakeWeb.https, HttpsPolicy::Allowed);

    // Any other value refuses again, and the client is told for http too.
    settings.WriteSetting("Settings", "allowHttps", "Y");
    watch.Run();
    EXPECT_EQ(dialogs.calls.size(), 2u);
    form.texts[Field::txtURL2watch] = "http://127.0.0.1/index.html";
    watch.Run();
    EXPECT_EQ(fakeWeb.https, HttpsPolicy::Refused);
    EXPECT_EQ(state.WatchCount, 3);
}

TEST_F(WatchCycleTest, TheIpFamilySettingReachesTheFetchAndThePingAtEveryTick) {
    const struct {
        const char* stored;  // nullptr: none
        AddressFamily family;
    } cases[] = {
        {"ipv6", AddressFamily::IPv6},
        {"ipv4", AddressFamily::IPv4},
        {nullptr, AddressFamily::Any},
    };
    for (const auto& c : cases) {
        if (c.stored) {
            settings.WriteSetting("Settings", "ipFamily", c.stored);
        } else {
            settings.DeleteSetting("Settings", "ipFamily");
        }
        settings.DeleteSetting("Settings", "PingOnly");
        watch.Run();
        EXPECT_EQ(fakeWeb.family, c.family) << (c.stored ? c.stored : "none");
        settings.WriteSetting("Settings", "PingOnly", "y");
        watch.Run();
        EXPECT_EQ(fakePinger.family, c.family) << (c.stored ? c.stored : "none");
    }
}

TEST_F(WatchCycleTest, TicksThatRunInsideTheRefusalBoxAreCountedInOrder) {
    form.texts[Field::txtURL2watch] = "https://x/";
    int nested = 0;
    dialogs.onMessage = [&] {
        if (nested++ == 0) watch.Run();
    };
    watch.Run();
    EXPECT_EQ(state.WatchCount, 2);
}

TEST_F(WatchCycleTest, PingWatchWritesTheResponseTimeAndNeverAlerts) {
    settings.WriteSetting("Settings", "PingOnly", "y");
    form.texts[Field::editIPaddr] = "  127.0.0.1 \t";
    fakePinger.responseTime = 3;
    watch.Run();
    EXPECT_EQ(fakePinger.hosts, (Lines{"127.0.0.1"}));
    ASSERT_EQ(view.lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(view.lines[0], std::regex(".+ - Ping response time: 3 \\(ms\\)")));
    EXPECT_TRUE(std::regex_match(test::ReadFile(logFile), std::regex(".+ - Ping response time: 3 \\(ms\\)\r\n")));
    EXPECT_TRUE(fakeWeb.calls.empty());
    EXPECT_EQ(view.watchCountText, "Watch count:1");
}

TEST_F(WatchCycleTest, FailedPingWritesErrorLinesThenTheResponseTime) {
    settings.WriteSetting("Settings", "PingOnly", "y");
    form.checks[Field::ckPingOnly] = false;  // the saved setting decides, not the box
    form.texts[Field::editIPaddr] = " no.such.host ";
    fakePinger.failure = "11001: Host not found";
    watch.Run();
    ASSERT_EQ(view.lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(view.lines[0], std::regex(".+ - error Pinging site:no\\.such\\.host")));
    EXPECT_TRUE(std::regex_match(view.lines[1], std::regex(".+ - Ping response time: 0 \\(ms\\)")));
    EXPECT_TRUE(std::regex_match(
        test::ReadFile(logFile),
        std::regex(".+ - error pinging site\\.no\\.such\\.host\r\n.+ - Ping response time: 0 \\(ms\\)\r\n")));
    EXPECT_EQ(alert.attempts, 0);
    EXPECT_EQ(view.watchCountText, "Watch count:1");
}

TEST_F(WatchCycleTest, OtherPingOnlyValuesRunTheWebWatch) {
    settings.WriteSetting("Settings", "PingOnly", "Y");
    watch.Run();
    EXPECT_TRUE(fakePinger.hosts.empty());
    EXPECT_EQ(fakeWeb.calls.size(), 2u);
}

TEST_F(WatchCycleTest, AShutdownIsNoFailedWatch) {
    enum class Cut { Fetch, Ping, Alert };
    const std::function<void()> abort = [] { throw AbortedError(); };
    form.texts[Field::txtLookFor] = "missing";
    for (Cut cut : {Cut::Fetch, Cut::Ping, Cut::Alert}) {
        SCOPED_TRACE(static_cast<int>(cut));
        settings.WriteSetting("Settings", "PingOnly", cut == Cut::Ping ? "y" : "");
        fakeWeb.duringGet = cut == Cut::Fetch ? abort : nullptr;
        fakePinger.duringPing = cut == Cut::Ping ? abort : nullptr;
        alert.duringAlert = cut == Cut::Alert ? abort : nullptr;
        alert.attempts = 0;
        EXPECT_THROW(watch.Run(), AbortedError);
        // Not retried, not reported, not counted.
        EXPECT_EQ(alert.attempts, cut == Cut::Alert ? 1 : 0);
        EXPECT_TRUE(view.lines.empty());
        EXPECT_EQ(state.WatchCount, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(logFile));
}

TEST_F(WatchCycleTest, InOutageModeTheSecondPanelTellsTheNextTickOrNothing) {
    struct : WatchRunner {  // no watch runs: the panel is the cycle's own doing
        void RunWatch() override {}
        void CutWatch(std::function<void()> then) override { then(); }
    } idle;
    WatchCycle idleCycle{form, view, boxes, scheduledTimer, idle, settings, schedule};
    settings.WriteSetting("Settings", "outageAlerts", "y");
    const std::time_t tick = std::time(nullptr) + 15 * 60;  // in this second or the next
    const std::regex next("Next watch at (" + TimeOfDayText(tick) + "|" + TimeOfDayText(tick + 1) + ")");
    for (auto step : {&WatchCycle::StartWatching, &WatchCycle::AbortConnection}) {
        view.watchCountText = "Next watch at 23:15:54";
        (idleCycle.*step)();
        EXPECT_TRUE(std::regex_match(view.watchCountText, next)) << view.watchCountText;
    }
    idleCycle.StopWatching();
    EXPECT_EQ(view.watchCountText, "");
}

TEST_F(WatchCycleTest, AbortBetweenWatchesOnlySaysSo) {
    cycle.AbortConnection();
    EXPECT_TRUE(fakeWeb.calls.empty());
    EXPECT_EQ(view.statusText, "Connection Aborted...");
    EXPECT_EQ(view.barRepaints, 1);
}

}  // namespace
}  // namespace corvasse

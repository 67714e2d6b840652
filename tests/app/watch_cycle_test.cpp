#include "app/watch_cycle.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <regex>

#include <gtest/gtest.h>

#include "app/activity_log.h"
#include "app/direct_watch_runner.h"
#include "app/fakes.h"
#include "app/settings_store.h"
#include "app/tick_boxes.h"
#include "app/watch.h"
#include "app/watch_interval.h"
#include "app/watch_schedule.h"
#include "app/watch_state.h"
#include "common/byte_string.h"
#include "common/process_abort.h"
#include "support/expect_throw.h"
#include "support/temp_dir.h"

namespace corvasse {
namespace {

class WatchCycleTest : public ::testing::Test {
protected:
    WatchCycleTest() {
        form_.texts[Field::txtWatchFreq] = "15";
        form_.texts[Field::txtURL2watch] = "http://127.0.0.1:8080/index.html";
        form_.texts[Field::txtLookFor] = "Welcome";
        web_.body = "<h1>Welcome</h1>";
    }

    test::TempDir temp_;
    const std::filesystem::path logFile_ = temp_.Path() / "Corvasse.log";
    test::FakeFormFields form_;
    test::FakeMonitorView view_;
    test::FakeDialogs dialogs_;
    test::FakeTimer timer_;
    SettingsStore settings_{temp_.Path() / "config"};
    ActivityLog log_{logFile_};
    test::FakeWebClient web_;
    test::FakePingClient pinger_;
    test::FakeAlertSender alert_;
    WatchState state_;
    TickBoxes boxes_{dialogs_};
    WatchSchedule schedule_;
    ResultKeeper results_{settings_,
                          view_,
                          log_,
                          alert_,
                          schedule_,
                          settings_.FilePath(),
                          temp_.Path() / "history.sqlite3",
                          WatchRecording::ResultsAndOutages};
    Watch watch_{form_, view_, boxes_, settings_, log_, web_, pinger_, alert_, state_, results_};
    DirectWatchRunner runner_{watch_, boxes_};
    WatchCycle cycle_{form_, view_, boxes_, timer_, runner_};
};

TEST_F(WatchCycleTest, StartArmsTheTimerInMinutesAndWatchesAtOnce) {
    view_.lines = {"old line"};
    cycle_.StartWatching();
    EXPECT_TRUE(timer_.enabled);
    EXPECT_EQ(timer_.interval, 900000u);
    ASSERT_GE(view_.statusHistory.size(), 2u);
    EXPECT_EQ(view_.statusHistory[0], "Timer set to 900000 millisecond interval.");
    EXPECT_EQ(view_.statusText, "Watching...");
    EXPECT_EQ(view_.watchCountText, "Watch count:1");
    EXPECT_TRUE(view_.lines.empty());
    EXPECT_EQ(web_.calls, (std::vector<std::string>{"get:http://127.0.0.1:8080/index.html", "disconnect"}));
    EXPECT_EQ(web_.connectTimeout, std::chrono::milliseconds(120000));
    EXPECT_EQ(alert_.attempts, 0);
    EXPECT_EQ(state_.FoundFlag, "y");
}

TEST_F(WatchCycleTest, TicksThatFallDueWhileATicksBoxIsOpenAreSkipped) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string box;
        int countedTicks;
    } cases[] = {
        {"the HTTPS refusal", [&] { form_.texts[Field::txtURL2watch] = "https://127.0.0.1/"; },
         "message:Sorry, we do not support HTTPS protocol at this time.", 1},
        {"the error box of a failed tick",
         [&] {
             form_.texts[Field::txtURL2watch] = "http://127.0.0.1:8080/index.html";
             alert_.failure = "Connect timed out";
         },
         "error:Connect timed out.", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs_.calls.clear();
        state_.WatchCount = 0;
        web_.failure = "Read Timeout";
        c.arrange();
        // Three ticks fall due while the first box is open.
        bool open = false;
        dialogs_.onMessage = dialogs_.onError = [&] {
            if (open) return;
            open = true;
            for (int i = 0; i < 3; ++i) cycle_.TimerTick();
            open = false;
        };
        cycle_.TimerTick();
        EXPECT_EQ(std::count(dialogs_.calls.begin(), dialogs_.calls.end(), c.box), 1);
        EXPECT_EQ(state_.WatchCount, c.countedTicks) << "skipped ticks are not counted";
        // The box is closed: the next tick runs as usual.
        cycle_.TimerTick();
        EXPECT_EQ(std::count(dialogs_.calls.begin(), dialogs_.calls.end(), c.box), 2);
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
        form_.texts[Field::txtWatchFreq] = c.text;
        form_.texts[Field::txtIntervalSeconds] = c.seconds;
        const uint32_t intervalBefore = timer_.interval;
        const size_t statusesBefore = view_.statusHistory.size();
        const size_t callsBefore = web_.calls.size();
        std::string refusal;
        try {
            cycle_.StartWatching();
        } catch (const std::exception& error) {
            refusal = error.what();
        }
        if (c.interval) {
            EXPECT_EQ(refusal, "");
            EXPECT_EQ(timer_.interval, *c.interval);
            EXPECT_EQ(view_.statusHistory.end()[-2],
                      "Timer set to " + std::to_string(*c.interval) + " millisecond interval.");
        } else {
            // Refused before the timer is touched or anything is watched.
            EXPECT_EQ(refusal, c.refusal);
            EXPECT_EQ(timer_.interval, intervalBefore);
            EXPECT_EQ(view_.statusHistory.size(), statusesBefore);
            EXPECT_EQ(web_.calls.size(), callsBefore);
        }
    }
}

TEST_F(WatchCycleTest, RestartWithTheSameIntervalKeepsTheSchedule) {
    cycle_.StartWatching();
    EXPECT_EQ(timer_.periodRestarts, 2);  // enabled, then given 900000 instead of its initial 1000
    cycle_.StartWatching();
    EXPECT_EQ(timer_.periodRestarts, 2);
    form_.texts[Field::txtWatchFreq] = "5";
    cycle_.StartWatching();
    EXPECT_EQ(timer_.periodRestarts, 3);
}

TEST_F(WatchCycleTest, BadIntervalAtTheFirstStartLeavesTheTimerOff) {
    form_.texts[Field::txtWatchFreq] = "abc";
    test::ExpectThrowWithMessage<ConversionError>([&] { cycle_.StartWatching(); },
                                                  "'abc' is not a valid integer value");
    EXPECT_FALSE(timer_.enabled);
    EXPECT_EQ(timer_.interval, 1000u);
}

TEST_F(WatchCycleTest, StopDisarmsButTheCountGoesOn) {
    cycle_.StartWatching();
    view_.progressPosition = 40;
    cycle_.StopWatching();
    EXPECT_FALSE(timer_.enabled);
    EXPECT_EQ(view_.statusText, "Watching process stopped...");
    EXPECT_EQ(view_.progressPosition, 0);
    cycle_.StartWatching();
    EXPECT_EQ(view_.watchCountText, "Watch count:2");
    EXPECT_EQ(state_.WatchCount, 2);
}

TEST_F(WatchCycleTest, SizeCheckAlertsOnlyForALongerBody) {
    web_.body = std::string(1000, 'x');
    const std::pair<const char*, int> cases[] = {{"1000", 0}, {"999", 1}, {"1001", 0}, {" 999", 1}, {"0", 1}};
    for (auto [size, alerts] : cases) {
        alert_.attempts = 0;
        form_.texts[Field::txtFileSize] = size;
        watch_.Run();
        EXPECT_EQ(alert_.attempts, alerts) << size;
    }
    web_.body.clear();
    alert_.attempts = 0;
    form_.texts[Field::txtFileSize] = "0";
    watch_.Run();
    EXPECT_EQ(alert_.attempts, 0);
}

TEST_F(WatchCycleTest, ExpectedSizeThatDoesNotConvertAlertsThroughTheErrorPath) {
    form_.texts[Field::txtFileSize] = "1000 ";
    watch_.Run();
    EXPECT_EQ(alert_.attempts, 1);
    // The disconnect after the check was skipped.
    EXPECT_EQ(web_.calls, (std::vector<std::string>{"get:http://127.0.0.1:8080/index.html"}));
    EXPECT_EQ(view_.watchCountText, "Watch count:1");
}

TEST_F(WatchCycleTest, TextCheckIsCaseSensitiveAndEmptyTextAlwaysAlerts) {
    form_.texts[Field::txtLookFor] = "welcome";
    watch_.Run();
    EXPECT_EQ(alert_.attempts, 1);
    EXPECT_EQ(state_.FoundFlag, "");
    form_.texts[Field::txtLookFor] = "";
    form_.texts[Field::txtFileSize] = "   ";
    watch_.Run();
    EXPECT_EQ(alert_.attempts, 2);
}

TEST_F(WatchCycleTest, FailedFetchAlertsOnceAndKeepsTheEarlierFoundFlag) {
    watch_.Run();
    EXPECT_EQ(state_.FoundFlag, "y");
    EXPECT_EQ(state_.FetchedBodyLength, 16);
    web_.failure = "Socket Error # 10061\r\nConnection refused.";
    watch_.Run();
    EXPECT_EQ(alert_.attempts, 1);
    EXPECT_EQ(state_.FoundFlag, "y");
    EXPECT_EQ(state_.FetchedBodyLength, 0);
    EXPECT_EQ(view_.watchCountText, "Watch count:2");
}

TEST_F(WatchCycleTest, FailedDisconnectAlerts) {
    web_.disconnectFailure = "Disconnected.";
    watch_.Run();
    EXPECT_EQ(alert_.attempts, 1);
}

TEST_F(WatchCycleTest, FailingDeliveryIsTriedTwiceFromTheCheckThenLeavesTheTickUncounted) {
    form_.texts[Field::txtLookFor] = "missing";
    alert_.failure = "Socket Error # 10061\r\nConnection refused.";
    view_.statusText = "before";
    EXPECT_THROW(watch_.Run(), std::runtime_error);
    EXPECT_EQ(alert_.attempts, 2);
    EXPECT_EQ(state_.WatchCount, 0);
    EXPECT_EQ(view_.watchCountText, "");
    EXPECT_EQ(view_.statusText, "before");
}

TEST_F(WatchCycleTest, FailingDeliveryAfterAFailedFetchIsTriedOnce) {
    web_.failure = "Read Timeout";
    alert_.failure = "Connection Closed Gracefully.";
    EXPECT_THROW(watch_.Run(), std::runtime_error);
    EXPECT_EQ(alert_.attempts, 1);
    EXPECT_EQ(state_.WatchCount, 0);
}

TEST_F(WatchCycleTest, HttpsAddressIsRefusedWithABeepOnEveryTick) {
    for (const char* url : {"https://example.com/", "http://host/?next=https://x"}) {
        form_.texts[Field::txtURL2watch] = url;
        dialogs_.calls.clear();
        watch_.Run();
        EXPECT_EQ(dialogs_.calls,
                  (std::vector<std::string>{"beep", "message:Sorry, we do not support HTTPS protocol at this time."}));
    }
    EXPECT_TRUE(web_.calls.empty());
    EXPECT_EQ(alert_.attempts, 0);
    EXPECT_EQ(view_.watchCountText, "Watch count:2");
    EXPECT_FALSE(std::filesystem::exists(logFile_));

    form_.texts[Field::txtURL2watch] = "HTTPS://127.0.0.1/";
    watch_.Run();
    EXPECT_EQ(web_.calls.front(), "get:HTTPS://127.0.0.1/");
}

TEST_F(WatchCycleTest, AllowHttpsSettingLetsHttpsThroughReadAfreshEachTick) {
    form_.texts[Field::txtURL2watch] = "https://127.0.0.1/index.html";
    settings_.WriteSetting("Settings", "allowHttps", "y");
    watch_.Run();
    EXPECT_TRUE(dialogs_.calls.empty());
    EXPECT_EQ(web_.calls, (std::vector<std::string>{"get:https://127.0.0.1/index.html", "disconnect"}));
    EXPECT_EQ(web_.https, HttpsPolicy::Allowed);

    // Any other value refuses again, and the client is told for http too.
    settings_.WriteSetting("Settings", "allowHttps", "Y");
    watch_.Run();
    EXPECT_EQ(dialogs_.calls.size(), 2u);
    form_.texts[Field::txtURL2watch] = "http://127.0.0.1/index.html";
    watch_.Run();
    EXPECT_EQ(web_.https, HttpsPolicy::Refused);
    EXPECT_EQ(state_.WatchCount, 3);
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
            settings_.WriteSetting("Settings", "ipFamily", c.stored);
        } else {
            settings_.DeleteSetting("Settings", "ipFamily");
        }
        settings_.DeleteSetting("Settings", "PingOnly");
        watch_.Run();
        EXPECT_EQ(web_.family, c.family) << (c.stored ? c.stored : "none");
        settings_.WriteSetting("Settings", "PingOnly", "y");
        watch_.Run();
        EXPECT_EQ(pinger_.family, c.family) << (c.stored ? c.stored : "none");
    }
}

TEST_F(WatchCycleTest, TicksThatRunInsideTheRefusalBoxAreCountedInOrder) {
    form_.texts[Field::txtURL2watch] = "https://x/";
    int nested = 0;
    dialogs_.onMessage = [&] {
        if (nested++ == 0) watch_.Run();
    };
    watch_.Run();
    EXPECT_EQ(state_.WatchCount, 2);
}

TEST_F(WatchCycleTest, PingWatchWritesTheResponseTimeAndNeverAlerts) {
    settings_.WriteSetting("Settings", "PingOnly", "y");
    form_.texts[Field::editIPaddr] = "  127.0.0.1 \t";
    pinger_.responseTime = 3;
    watch_.Run();
    EXPECT_EQ(pinger_.hosts, (std::vector<std::string>{"127.0.0.1"}));
    ASSERT_EQ(view_.lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(view_.lines[0], std::regex(".+ - Ping response time: 3 \\(ms\\)")));
    EXPECT_TRUE(std::regex_match(test::ReadFile(logFile_), std::regex(".+ - Ping response time: 3 \\(ms\\)\r\n")));
    EXPECT_TRUE(web_.calls.empty());
    EXPECT_EQ(view_.watchCountText, "Watch count:1");
}

TEST_F(WatchCycleTest, FailedPingWritesErrorLinesThenTheResponseTime) {
    settings_.WriteSetting("Settings", "PingOnly", "y");
    form_.checks[Field::ckPingOnly] = false;  // the saved setting decides, not the box
    form_.texts[Field::editIPaddr] = " no.such.host ";
    pinger_.failure = "11001: Host not found";
    watch_.Run();
    ASSERT_EQ(view_.lines.size(), 2u);
    EXPECT_TRUE(std::regex_match(view_.lines[0], std::regex(".+ - error Pinging site:no\\.such\\.host")));
    EXPECT_TRUE(std::regex_match(view_.lines[1], std::regex(".+ - Ping response time: 0 \\(ms\\)")));
    EXPECT_TRUE(std::regex_match(
        test::ReadFile(logFile_),
        std::regex(".+ - error pinging site\\.no\\.such\\.host\r\n.+ - Ping response time: 0 \\(ms\\)\r\n")));
    EXPECT_EQ(alert_.attempts, 0);
    EXPECT_EQ(view_.watchCountText, "Watch count:1");
}

TEST_F(WatchCycleTest, OtherPingOnlyValuesRunTheWebWatch) {
    settings_.WriteSetting("Settings", "PingOnly", "Y");
    watch_.Run();
    EXPECT_TRUE(pinger_.hosts.empty());
    EXPECT_EQ(web_.calls.size(), 2u);
}

TEST_F(WatchCycleTest, AShutdownIsNoFailedWatch) {
    enum class Cut { Fetch, Ping, Alert };
    const std::function<void()> abort = [] { throw AbortedError(); };
    form_.texts[Field::txtLookFor] = "missing";
    for (Cut cut : {Cut::Fetch, Cut::Ping, Cut::Alert}) {
        SCOPED_TRACE(static_cast<int>(cut));
        settings_.WriteSetting("Settings", "PingOnly", cut == Cut::Ping ? "y" : "");
        web_.duringGet = cut == Cut::Fetch ? abort : nullptr;
        pinger_.duringPing = cut == Cut::Ping ? abort : nullptr;
        alert_.duringAlert = cut == Cut::Alert ? abort : nullptr;
        alert_.attempts = 0;
        EXPECT_THROW(watch_.Run(), AbortedError);
        // Not retried, not reported, not counted.
        EXPECT_EQ(alert_.attempts, cut == Cut::Alert ? 1 : 0);
        EXPECT_TRUE(view_.lines.empty());
        EXPECT_EQ(state_.WatchCount, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(logFile_));
}

TEST_F(WatchCycleTest, AbortBetweenWatchesOnlySaysSo) {
    cycle_.AbortConnection();
    EXPECT_TRUE(web_.calls.empty());
    EXPECT_EQ(view_.statusText, "Connection Aborted...");
    EXPECT_EQ(view_.barRepaints, 1);
}

}  // namespace
}  // namespace corvasse

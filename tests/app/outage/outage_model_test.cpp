#include "app/outage/outage_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/outage/outage_text.h"
#include "app/outage/outage_tracker.h"
#include "history/history_store.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using std::chrono::minutes;
using test::kDayStart;

// The model alone, its state kept as a value; or the tracker over a history
// database, both opened anew before each result as after a restart.
enum class Keeper { Model, HistoryRestarted };

// A watch fed results one minute apart. A step is "D" (down), "U" (up) or
// "?" (unknown); "!" after it: the mails its actions ask for fail. "+N" lets
// N more minutes pass without a result, "-N" sets the clock N minutes back;
// "R": watching is switched on again at this moment. The outcome of each result is its
// actions joined by "+", or "-" for none.
class TrackedWatch {
public:
    TrackedWatch(Keeper keeper, const OutageSettings& settings) : settings_(settings) {
        if (keeper == Keeper::Model) model_.emplace(settings);
    }

    std::string Run(const std::string& steps) {
        std::istringstream tokens(steps);
        std::string outcomes;
        for (std::string token; tokens >> token;) {
            const bool clock = token[0] == '+' || token[0] == '-';
            if (clock) time_ += minutes(std::stoi(token));
            if (token == "R") resumed_ = time_;
            if (clock || token == "R") continue;
            const OutageStep step = Step(token[0]);
            if (!outcomes.empty()) outcomes += " ";
            outcomes += Outcome(step, token.back() == '!' ? Mail::Fails : Mail::Works);
        }
        return outcomes;
    }

    OutageStep Step(char kind) {
        time_ += minutes(1);
        ++count_;
        const std::string reason = "failure " + std::to_string(count_);
        const WatchResult result = kind == 'D'   ? test::Down(time_, reason)
                                   : kind == 'U' ? test::Up(time_)
                                                 : test::Unknown(time_);
        if (model_) return Decide(result);
        Open();
        return tracker_->Record(result, resumed_);
    }

    enum class Mail { Works, Fails };
    std::string Outcome(const OutageStep& step, Mail mail) {
        std::string outcome;
        for (const OutageAction& action : step.actions) {
            static const char* const kNames[] = {"alert", "remind", "recover", "log"};
            if (!outcome.empty()) outcome += "+";
            outcome += kNames[static_cast<int>(action.kind)];
            if (mail == Mail::Works && model_) MarkSent(action);
            if (mail == Mail::Works && !model_) tracker_->MailSent(action);
        }
        return outcome.empty() ? "-" : outcome;
    }

private:
    // The model's state kept as the history keeps it: a new outage numbered,
    // an ended one gone (waiting while its recovery mail is due), the newest
    // result's time, the mails sent marked.
    OutageStep Decide(const WatchResult& result) {
        OutageDecision decision = model_->Decide(state_, result, resumed_);
        state_ = std::move(decision.state);
        state_.newestResult = std::max(result.time, state_.newestResult.value_or(result.time));
        std::optional<Outage>& ongoing = state_.ongoing;
        if (ongoing && ongoing->id.value == 0) ongoing->id = OutageId{++outages_};
        for (OutageAction& action : decision.step.actions) {
            if (action.outage.id.value == 0) action.outage.id = ongoing->id;
        }
        decision.step.outage = ongoing;
        if (ongoing && ongoing->ended) {
            if (ongoing->recovery == Recovery::MailDue) state_.recoveryMailDue.push_back(*ongoing);
            ongoing.reset();
        }
        return decision.step;
    }
    void MarkSent(const OutageAction& action) {
        if (action.kind == OutageActionKind::SendRecovery) {
            std::erase_if(state_.recoveryMailDue, [&](const Outage& due) { return due.id == action.outage.id; });
        } else if (action.kind != OutageActionKind::LogRecovery) {
            ++state_.ongoing->alertsSent;
            state_.ongoing->lastAlert = std::max(action.time, state_.ongoing->lastAlert.value_or(action.time));
        }
    }

    void Open() {
        tracker_.reset();
        if (!temp_) temp_.emplace();
        store_ = std::make_unique<HistoryStore>(temp_->Path() / "history.sqlite3");
        tracker_ = std::make_unique<OutageTracker>(
            *store_, store_->FindOrAddWatch("/home/ann/.config/Corvasse/Corvasse.conf", "http://shop.example/"),
            settings_);
    }

    OutageSettings settings_;
    std::optional<OutageModel> model_;
    OutageState state_;
    int64_t outages_ = 0;
    std::optional<test::TempDir> temp_;
    std::unique_ptr<HistoryStore> store_;
    std::unique_ptr<OutageTracker> tracker_;
    ResultTime time_ = kDayStart - minutes(1);
    std::optional<ResultTime> resumed_;
    int count_ = 0;
};

OutageSettings Settings(int alertAfter, minutes remindEvery = minutes(0), int recoverAfter = 1,
                        RecoveryMail recoveryMail = RecoveryMail::Send) {
    return {alertAfter, remindEvery, recoverAfter, recoveryMail};
}

class OutageModelTest : public ::testing::TestWithParam<Keeper> {};
INSTANTIATE_TEST_SUITE_P(Keepers, OutageModelTest, ::testing::Values(Keeper::Model, Keeper::HistoryRestarted),
                         [](const auto& info) { return info.param == Keeper::Model ? "Alone" : "OverAHistory"; });

TEST_P(OutageModelTest, AlertsOncePerOutageAndSaysWhenItIsBack) {
    const struct {
        const char* name;
        OutageSettings settings;
        const char* steps;
        const char* outcomes;
    } rows[] = {
        {"by default the second down alerts, the first up recovers", {}, "D D D U U", "- alert - recover -"},
        {"one failed watch is a blip", {}, "D U D U", "- - - -"},
        {"alertAfter 1 alerts at once", Settings(1), "D U", "alert recover"},
        {"alertAfter 3 counts downs in a row", Settings(3), "D D U D D D", "- - - - - alert"},
        {"unknown results neither count nor break a row", {}, "D ? D ? U", "- - alert - recover"},
        {"a reminder each 5 minutes", Settings(2, minutes(5)), "D D D D D D D D D D D D",
         "- alert - - - - remind - - - - remind"},
        {"reminders go with down results only", Settings(1, minutes(5), 3), "D +4 U D U U U",
         "alert - remind - - recover"},
        {"recoverAfter 3 needs three ups in a row", Settings(2, minutes(0), 3), "D D U U D U U U",
         "- alert - - - - - recover"},
        {"without recovery mail the recovery is logged", Settings(2, minutes(0), 1, RecoveryMail::Skip), "D D U",
         "- alert log"},
        {"a failed alert goes with the next down result", {}, "D D! D D", "- alert alert -"},
        {"but not with an up result", Settings(2, minutes(0), 2), "D D! U D", "- alert - alert"},
        {"nor with an unknown one", {}, "D D! ? D", "- alert - alert"},
        {"an alert that never went out: the recovery is only logged", {}, "D D! D! U U", "- alert alert log -"},
        {"a failed reminder goes with the next down result", Settings(1, minutes(5)), "D +4 D! D D",
         "alert remind remind -"},
        {"a failed recovery mail goes with the next result", {}, "D D U! U U", "- alert recover recover -"},
        {"also when it is down again", {}, "D D U! D D", "- alert recover recover alert"},
        {"before the alert of the next outage", Settings(1), "D U! D U", "alert recover recover+alert recover"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TrackedWatch(GetParam(), row.settings).Run(row.steps), row.outcomes);
    }
}

TEST_P(OutageModelTest, PaneLinesAndRecoveryReportCountEveryDownResultOfTheOutage) {
    test::ScopedEnvironment zone("TZ", "UTC0");
    TrackedWatch watch(GetParam(), Settings(2, minutes(0), 2));
    const struct {
        char kind;
        const char* paneLine;
    } steps[] = {
        {'D', "Down (1 of 2): failure 1; no alert yet"},
        {'D', "Down (2 of 2): failure 2"},
        {'U', "Up (1 of 2): 2043 bytes in 12 ms; not back up yet"},
        {'?', ""},
        {'D', "Down since 2026-12-08 00:00:00 (4 min): failure 5"},
        {'U', "Up (1 of 2): 2043 bytes in 12 ms; not back up yet"},
        {'U', "Up: 2043 bytes in 12 ms; back up after 6 min"},
        {'U', "Up: 2043 bytes in 12 ms"},
    };
    std::optional<Outage> recovered;
    for (const auto& step : steps) {
        const OutageStep result = watch.Step(step.kind);
        EXPECT_EQ(result.paneLine, step.paneLine);
        for (const OutageAction& action : result.actions) {
            if (action.kind == OutageActionKind::SendRecovery) recovered = action.outage;
        }
        watch.Outcome(result, TrackedWatch::Mail::Works);
    }
    ASSERT_TRUE(recovered);
    EXPECT_EQ(RecoveryReport(*recovered),
              "Back up after 6 min\n"
              "Down from 2026-12-08 00:00:00 to 2026-12-08 00:06:00\n"
              "Failed watches: 3\n"
              "First failure: failure 1\n"
              "Last failure: failure 5\n");
}

TEST_P(OutageModelTest, TheRecoveryNeverRunsBackwardsAndSaysWhenWatchingWasOff) {
    test::ScopedEnvironment zone("TZ", "UTC0");
    const std::string down = "Down from 2026-12-08 00:00:00 to 2026-12-08 00:0";
    const std::string paused = "Watching paused from 2026-12-08 00:01:00 to 2026-12-08 00:0";
    const std::pair<const char*, std::string> rows[] = {
        // Steps, then an up result sends the recovery: its lines before "Failed watches".
        {"R D D +3 R D", "Back up after 6 min\n" + down + "6:00\n" + paused + "4:00\n"},
        {"R D D +2 R D U!", "Back up after 5 min\n" + down + "5:00\n" + paused + "3:00\n"},  // mailed late
        {"D +3 R D D", "Back up after 6 min\n" + down + "6:00\n"},  // switched on before the outage
        {"R D D +3 D", "Back up after 6 min\n" + down + "6:00\n"},  // never off
        // A day back: the outage ends at its last down result, not before it began.
        {"D D -1440 D", "Back up after 1 min\n" + down + "1:00\n"},
    };
    for (const auto& [steps, lines] : rows) {
        TrackedWatch watch(GetParam(), Settings(2));
        watch.Run(steps);
        const OutageStep back = watch.Step('U');
        ASSERT_EQ(back.actions.size(), 1u);
        const std::string report = RecoveryReport(back.actions.front().outage);
        EXPECT_EQ(report.substr(0, report.find("Failed watches")), lines) << steps;
    }
}

TEST(OutageTextTest, ReminderAndPingLines) {
    test::ScopedEnvironment zone("TZ", "UTC0");
    Outage outage;
    outage.began = kDayStart + std::chrono::hours(14) + minutes(2) + std::chrono::seconds(7);
    EXPECT_EQ(DownSinceLine(outage, outage.began + std::chrono::hours(2) + minutes(13) + std::chrono::seconds(59)),
              "Down since 2026-12-08 14:02:07 (2 h 13 min)");
    EXPECT_EQ(UpLine(test::Up(kDayStart, std::chrono::microseconds(3999), std::nullopt)), "Up: 3 ms");
    EXPECT_EQ(UpLine(WatchResult{kDayStart, ResultState::Up, std::nullopt, std::nullopt, ""}), "Up");
}

TEST(OutageSettingsRangeTest, RefusesSettingsOutsideTheirRanges) {
    for (const OutageSettings& settings :
         {Settings(0), Settings(101), Settings(2, minutes(-1)), Settings(2, minutes(10081)),
          Settings(2, minutes(int64_t{1} << 32)), Settings(2, minutes(0), 0), Settings(2, minutes(0), 101)}) {
        EXPECT_THROW(OutageModel{settings}, std::invalid_argument);
    }
    EXPECT_NO_THROW(OutageModel{Settings(100, minutes(10080), 100)});
    EXPECT_NO_THROW(OutageModel{Settings(1, minutes(0), 1)});
}

}  // namespace
}  // namespace corvasse

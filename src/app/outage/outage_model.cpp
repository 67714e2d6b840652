#include "app/outage/outage_model.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "app/outage/outage_text.h"

namespace corvasse {

namespace {

// now: the result's time, or the newest one stored before it when the clock went back.
void AddDown(OutageState& state, const WatchResult& result, ResultTime now, const OutageSettings& settings,
             OutageStep& step) {
    WatchStreak& streak = state.streak;
    if (streak.downsInRow == 0) {
        streak.firstDown = now;
        streak.firstReason = result.reason;
    }
    ++streak.downsInRow;
    streak.upsInRow = 0;
    streak.lastReason = result.reason;

    if (state.ongoing) {
        Outage& outage = *state.ongoing;
        ++outage.downResults;
        outage.lastReason = result.reason;
        step.paneLine = DownSinceLine(outage, now) + ": " + result.reason;
        if (outage.alertsSent == 0) {
            step.actions.push_back({OutageActionKind::SendAlert, outage, now});
        } else if (settings.remindEvery > std::chrono::minutes::zero() && outage.lastAlert &&
                   now - *outage.lastAlert >= settings.remindEvery) {
            step.actions.push_back({OutageActionKind::SendReminder, outage, now});
        }
        return;
    }
    step.paneLine = DownCountLine(result, streak.downsInRow, settings.alertAfter);
    if (streak.downsInRow < settings.alertAfter) return;
    Outage outage;
    outage.began = streak.firstDown.value_or(now);
    outage.downResults = streak.downsInRow;
    outage.firstReason = streak.firstReason;
    outage.lastReason = result.reason;
    state.ongoing = outage;
    step.change = OutageChange::Began;
    step.actions.push_back({OutageActionKind::SendAlert, outage, now});
}

void AddUp(OutageState& state, const WatchResult& result, ResultTime now, const OutageSettings& settings,
           OutageStep& step) {
    WatchStreak& streak = state.streak;
    const int64_t upsInRow = streak.upsInRow + 1;
    streak = WatchStreak{};
    streak.upsInRow = upsInRow;

    if (!state.ongoing) {
        step.paneLine = UpLine(result);
        return;
    }
    Outage& outage = *state.ongoing;
    if (streak.upsInRow < settings.recoverAfter) {
        step.paneLine = UpInOutageLine(result, streak.upsInRow, settings.recoverAfter);
        return;
    }
    outage.ended = std::max(now, outage.began);
    const bool mail =
        (outage.alertsSent > 0 || outage.AlertHandedOver()) && settings.recoveryMail == RecoveryMail::Send;
    outage.recovery = mail ? Recovery::MailDue : Recovery::NoMail;
    step.paneLine = BackUpLine(result, outage);
    step.change = OutageChange::Ended;
    step.actions.push_back({mail ? OutageActionKind::SendRecovery : OutageActionKind::LogRecovery, outage, now});
}

void CheckRange(int64_t value, int64_t min, int64_t max, const char* name) {
    if (value < min || value > max) {
        throw std::invalid_argument(std::string(name) + " must be from " + std::to_string(min) + " to " +
                                    std::to_string(max) + ", not " + std::to_string(value));
    }
}

}  // namespace

OutageModel::OutageModel(const OutageSettings& settings) : settings_(settings) {
    CheckRange(settings.alertAfter, kAlertAfterMin, kAlertAfterMax, "alertAfter");
    CheckRange(settings.recoverAfter, kRecoverAfterMin, kRecoverAfterMax, "recoverAfter");
    CheckRange(settings.remindEvery.count(), 0, kRemindEveryMax.count(), "remindMinutes");
}

OutageDecision OutageModel::Decide(OutageState state, const WatchResult& result,
                                   std::optional<ResultTime> watchingResumed) const {
    if (result.state == ResultState::Unknown) return {std::move(state), {}};
    OutageStep step;
    // A clock that went back does not run an outage backwards: its times
    // stay at the newest result already stored until the clock passes it.
    const ResultTime now = std::max(result.time, state.newestResult.value_or(result.time));
    // Watching began again since the last result: the outage was not watched in between.
    if (state.ongoing && watchingResumed && state.newestResult && *watchingResumed > *state.newestResult) {
        state.ongoing->pauses.push_back({*state.newestResult, *watchingResumed});
    }
    // Recovery mails that failed before go first, oldest first.
    for (const Outage& outage : state.recoveryMailDue) {
        step.actions.push_back({OutageActionKind::SendRecovery, outage, now});
    }
    if (result.state == ResultState::Down) {
        AddDown(state, result, now, settings_, step);
    } else {
        AddUp(state, result, now, settings_, step);
    }
    step.outage = state.ongoing;
    return {std::move(state), std::move(step)};
}

}  // namespace corvasse

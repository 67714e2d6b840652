#include "app/outage_tracker.h"

#include <stdexcept>

#include "app/outage_text.h"
#include "history/history_store.h"

namespace corvasse {

namespace {

void AddDown(OutageState& state, const WatchResult& result, const OutageSettings& settings, OutageStep& step) {
    WatchStreak& streak = state.streak;
    if (streak.downsInRow == 0) {
        streak.firstDown = result.time;
        streak.firstReason = result.reason;
    }
    ++streak.downsInRow;
    streak.upsInRow = 0;
    streak.lastReason = result.reason;

    if (state.ongoing) {
        Outage& outage = *state.ongoing;
        ++outage.downResults;
        outage.lastReason = result.reason;
        step.paneLine = DownSinceLine(outage, result.time) + ": " + result.reason;
        if (outage.alertsSent == 0) {
            step.actions.push_back({OutageActionKind::SendAlert, outage, result.time});
        } else if (settings.remindEvery > std::chrono::minutes::zero() && outage.lastAlert &&
                   result.time - *outage.lastAlert >= settings.remindEvery) {
            step.actions.push_back({OutageActionKind::SendReminder, outage, result.time});
        }
        return;
    }
    step.paneLine = DownCountLine(result, streak.downsInRow, settings.alertAfter);
    if (streak.downsInRow < settings.alertAfter) return;
    Outage outage;
    outage.began = streak.firstDown.value_or(result.time);
    outage.downResults = streak.downsInRow;
    outage.firstReason = streak.firstReason;
    outage.lastReason = result.reason;
    state.ongoing = outage;
    step.change = OutageChange::Began;
    step.actions.push_back({OutageActionKind::SendAlert, outage, result.time});
}

void AddUp(OutageState& state, const WatchResult& result, const OutageSettings& settings, OutageStep& step) {
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
    outage.ended = result.time;
    const bool mail =
        (outage.alertsSent > 0 || outage.AlertHandedOver()) && settings.recoveryMail == RecoveryMail::Send;
    outage.recovery = mail ? Recovery::MailDue : Recovery::NoMail;
    step.paneLine = BackUpLine(result, outage);
    step.change = OutageChange::Ended;
    step.actions.push_back(
        {mail ? OutageActionKind::SendRecovery : OutageActionKind::LogRecovery, outage, result.time});
}

void CheckRange(int64_t value, int64_t min, int64_t max, const char* name) {
    if (value < min || value > max) {
        throw std::invalid_argument(std::string(name) + " must be from " + std::to_string(min) + " to " +
                                    std::to_string(max) + ", not " + std::to_string(value));
    }
}

}  // namespace

OutageTracker::OutageTracker(HistoryStore& store, WatchId watch, const OutageSettings& settings)
    : store_(store), watch_(watch), settings_(settings) {
    CheckRange(settings.alertAfter, kAlertAfterMin, kAlertAfterMax, "alertAfter");
    CheckRange(settings.recoverAfter, kRecoverAfterMin, kRecoverAfterMax, "recoverAfter");
    CheckRange(settings.remindEvery.count(), 0, kRemindEveryMax.count(), "remindMinutes");
}

OutageStep OutageTracker::Record(const WatchResult& result) {
    if (result.state == ResultState::Unknown) {
        store_.RecordResult(watch_, result);
        return {};
    }
    OutageStep step;
    const OutageState written = store_.RecordResult(watch_, result, [&](OutageState& state) {
        // Recovery mails that failed before go first, oldest first.
        for (const Outage& outage : state.recoveryMailDue) {
            step.actions.push_back({OutageActionKind::SendRecovery, outage, result.time});
        }
        if (result.state == ResultState::Down) {
            AddDown(state, result, settings_, step);
        } else {
            AddUp(state, result, settings_, step);
        }
    });
    // An outage that began with this result has its id only once written.
    for (OutageAction& action : step.actions) {
        if (action.outage.id.value == 0 && written.ongoing) action.outage.id = written.ongoing->id;
    }
    step.outage = written.ongoing;
    return step;
}

void OutageTracker::MailSent(const OutageAction& action) {
    switch (action.kind) {
        case OutageActionKind::SendAlert:
        case OutageActionKind::SendReminder: store_.MarkAlertSent(action.outage.id, action.time); break;
        case OutageActionKind::SendRecovery: store_.MarkRecoverySent(action.outage.id); break;
        case OutageActionKind::LogRecovery: break;
    }
}

void OutageTracker::AlertHandedOver(const OutageAction& action) {
    store_.MarkAlertHandedOver(action.outage.id, action.time);
}

void OutageTracker::AlertRefused(const OutageAction& action) { store_.ClearAlertHandedOver(action.outage.id); }

}  // namespace corvasse

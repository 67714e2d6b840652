#include "app/outage/outage_tracker.h"

#include <utility>

#include "history/history_store.h"
#include "history/result_recording.h"

namespace corvasse {

OutageTracker::OutageTracker(HistoryStore& store, WatchId watch, const OutageSettings& settings)
    : store_(store), watch_(watch), model_(settings) {}

OutageStep OutageTracker::Record(const WatchResult& result, std::optional<ResultTime> watchingResumed) {
    // An unknown result changes nothing: it goes in without the state.
    if (result.state == ResultState::Unknown) {
        store_.RecordResult(watch_, result);
        return {};
    }
    ResultRecording recording(store_, watch_);
    OutageDecision decision = model_.Decide(recording.State(), result, watchingResumed);
    const OutageState written = recording.Commit(result, std::move(decision.state));
    // An outage that began with this result has its id only once written.
    OutageStep& step = decision.step;
    for (OutageAction& action : step.actions) {
        if (action.outage.id.value == 0 && written.ongoing) action.outage.id = written.ongoing->id;
    }
    step.outage = written.ongoing;
    return std::move(step);
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

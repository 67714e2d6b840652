#pragma once
// The outage model of one watch: given the watch's state and one result, it
// says what to do about the result and what the state becomes, so that a
// watch alerts once per outage instead of once per failed result, and says
// when the site is back. Plain values in and out: keeping the state between
// results is the caller's (OutageTracker keeps it in the history).
//
// - An outage begins with the alertAfter-th down result in a row; the down
//   results before it only show their pane line. It ends with the
//   recoverAfter-th up result in a row.
// - When it begins: SendAlert. While it lasts, with a down result:
//   SendReminder each remindEvery since the last alert or reminder. When it
//   ends: SendRecovery, or LogRecovery when no alert went out or no recovery
//   mail is wanted.
// - A mail counts as sent only once the state says so (alertsSent, the
//   recovery no longer due); one that failed is asked for again with the
//   next counted result (an alert with the next down result, a recovery with
//   the next result of either kind), however many results that takes.
// - Unknown results change nothing: no pane line, no action, no mail asked
//   for again.
// - Times are the results' own (the clock is the caller's), so a test steps
//   through a day of results without waiting. A result older than the
//   newest one already recorded (the clock went back) counts as of that
//   newest time: an outage never ends before it began, nor runs backwards.

#include <optional>
#include <string>
#include <vector>

#include "app/settings/outage_settings.h"
#include "core/history_records.h"

namespace corvasse {

enum class OutageActionKind {
    SendAlert,     // the alert report with "Reason: REASON"
    SendReminder,  // the alert report with "Down since DATE-TIME (DURATION)" too
    SendRecovery,  // the recovery mail, and its log record
    LogRecovery,   // the recovery's log record only
};

struct OutageAction {
    OutageActionKind kind;
    // The outage as this result left it (for a recovery: ended).
    Outage outage;
    // The result that asks for the action.
    ResultTime time;
};

// Whether an outage began or ended with a result.
enum class OutageChange { None, Began, Ended };

struct OutageStep {
    // The status pane's line for the result; empty for an unknown result.
    std::string paneLine;
    // What to do, in this order.
    std::vector<OutageAction> actions;
    OutageChange change = OutageChange::None;
    // The outage that goes on after the result, or the one it ended; none
    // while the watch is up (and for an unknown result).
    std::optional<Outage> outage;
};

// A result's step and the state it leaves. An outage that began with the
// result has no id yet (0), in the state and in the step alike.
struct OutageDecision {
    OutageState state;
    OutageStep step;
};

class OutageModel {
public:
    // Throws std::invalid_argument when a setting is outside its range.
    explicit OutageModel(const OutageSettings& settings);

    // state: as the result before left it, newestResult the time of that
    // result. watchingResumed, when watching was last switched on: later
    // than the result before, it was off meanwhile, and an ongoing outage
    // keeps that pause for its recovery.
    OutageDecision Decide(OutageState state, const WatchResult& result,
                          std::optional<ResultTime> watchingResumed = std::nullopt) const;

private:
    OutageSettings settings_;
};

}  // namespace corvasse

#pragma once
// The outage model of one watch: fed one result at a time, it says what to
// do about it, so that a watch alerts once per outage instead of once per
// failed result, and says when the site is back.
//
// - An outage begins with the alertAfter-th down result in a row; the down
//   results before it only show their pane line. It ends with the
//   recoverAfter-th up result in a row.
// - When it begins: SendAlert. While it lasts, with a down result:
//   SendReminder each remindEvery since the last alert or reminder. When it
//   ends: SendRecovery, or LogRecovery when no alert went out or no recovery
//   mail is wanted.
// - A mail counts as sent only once MailSent() says so; one that failed is
//   asked for again with the next counted result (an alert with the next
//   down result, a recovery with the next result of either kind), however
//   many results that takes.
// - Unknown results are recorded and change nothing: no pane line, no
//   action, no mail asked for again.
// - The tracker keeps nothing itself: every Record() reads the watch's state
//   from the history and writes it back in the result's transaction. A new
//   tracker on the same database, after a restart or in another process,
//   goes on where the last one stopped.
// - Times are the results' own (the clock is the caller's), so a test steps
//   through a day of results without waiting. A result older than the
//   newest one already recorded (the clock went back) counts as of that
//   newest time: an outage never ends before it began, nor runs backwards.

#include <optional>
#include <string>
#include <vector>

#include "app/outage_settings.h"
#include "history/history_records.h"

namespace corvasse {

class HistoryStore;

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

class OutageTracker {
public:
    // Throws std::invalid_argument when a setting is outside its range.
    OutageTracker(HistoryStore& store, WatchId watch, const OutageSettings& settings);

    // Records the result and what it changes; watchingResumed, when watching
    // was last switched on: later than the result before, it was off
    // meanwhile, and an ongoing outage keeps that pause for its recovery.
    // Throws HistoryError, having then recorded and changed nothing.
    OutageStep Record(const WatchResult& result, std::optional<ResultTime> watchingResumed = std::nullopt);

    // The mail of a SendAlert, SendReminder or SendRecovery action went out;
    // does nothing for LogRecovery. Throws HistoryError.
    void MailSent(const OutageAction& action);

    // The message of a SendAlert action was handed over to the server, whose
    // reply has not come yet: the alert may have arrived, so its outage ends
    // with a recovery mail whatever becomes of the reply (a stop, a kill). It
    // still counts as sent only once MailSent() says so, and is asked for
    // again until then. AlertRefused(): the server refused that message.
    // Both throw HistoryError.
    void AlertHandedOver(const OutageAction& action);
    void AlertRefused(const OutageAction& action);

private:
    HistoryStore& store_;
    WatchId watch_;
    OutageSettings settings_;
};

}  // namespace corvasse

#pragma once
// The outage model of one watch (OutageModel) over the history: fed one
// result at a time, it records the result and says what to do about it.
//
// - A mail counts as sent only once MailSent() says so; until then the
//   model asks for it again.
// - Unknown results are recorded and change nothing.
// - The tracker keeps nothing itself: every Record() reads the watch's state
//   from the history and writes it back in the result's transaction. A new
//   tracker on the same database, after a restart or in another process,
//   goes on where the last one stopped.

#include <optional>

#include "app/outage/outage_model.h"
#include "app/settings/outage_settings.h"
#include "core/history_records.h"

namespace corvasse {

class HistoryStore;

class OutageTracker {
public:
    // Throws std::invalid_argument when a setting is outside its range.
    OutageTracker(HistoryStore& store, WatchId watch, const OutageSettings& settings);

    // Records the result and what it changes; watchingResumed as
    // OutageModel::Decide() takes it. Throws HistoryError, having then
    // recorded and changed nothing.
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
    OutageModel model_;
};

}  // namespace corvasse

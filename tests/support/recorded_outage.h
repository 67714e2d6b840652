#pragma once
// An outage put into a history as the outage model leaves one: a down result
// at its beginning with the outage as the watch's state, its recovery mail
// sent once it has ended.

#include <optional>
#include <string>

#include "history/history_store.h"
#include "history/result_recording.h"
#include "support/watch_results.h"

namespace corvasse::test {

inline void RecordOutage(HistoryStore& store, WatchId watch, ResultTime began, std::optional<ResultTime> ended,
                         int64_t downResults, const std::string& reason) {
    ResultRecording recording(store, watch);
    OutageState state = recording.State();
    state.ongoing = Outage{};
    state.ongoing->began = began;
    state.ongoing->ended = ended;
    state.ongoing->downResults = downResults;
    state.ongoing->firstReason = state.ongoing->lastReason = reason;
    state.ongoing->recovery = ended ? Recovery::MailSent : Recovery::Pending;
    recording.Commit(Down(began, reason), std::move(state));
}

}  // namespace corvasse::test

#pragma once
// One result recorded together with the outage state of its watch, in one
// write transaction: the state is read when the recording begins (taking
// the write lock, waiting for another writer as long as kBusyTimeout lets
// it), and the result and the state as the caller made it are written when
// it is committed. Two processes that record for one watch take turns, each
// seeing what the other wrote. Without Commit() (an error on the way),
// nothing is recorded.
//
//     ResultRecording recording(store, watch);
//     OutageState state = ...from recording.State() and the result...;
//     const OutageState written = recording.Commit(result, std::move(state));

#include "core/history_records.h"
#include "history/sqlite_transaction.h"

namespace corvasse {

class HistoryStore;

class ResultRecording {
public:
    // Throws HistoryError.
    ResultRecording(HistoryStore& store, WatchId watch);
    ResultRecording(const ResultRecording&) = delete;
    ResultRecording& operator=(const ResultRecording&) = delete;

    // The watch's outage state as the last result left it, with that
    // result's time as newestResult.
    const OutageState& State() const { return state_; }

    // Writes the result and the state (new outages, those with id 0, added)
    // and commits. Returns the state as written, new outages with their ids.
    // Throws HistoryError, having then recorded nothing.
    OutageState Commit(const WatchResult& result, OutageState state);

private:
    HistoryStore& store_;
    WatchId watch_;
    SqliteTransaction transaction_;
    OutageState state_;
};

}  // namespace corvasse

#include "history/result_recording.h"

#include <utility>

#include "history/history_store.h"
#include "history/sqlite_connection.h"

namespace corvasse {

ResultRecording::ResultRecording(HistoryStore& store, WatchId watch)
    : store_(store), watch_(watch), transaction_(*store.db_, TransactionKind::Write), state_(store.ReadState(watch)) {
    state_.newestResult = store.NewestResult(watch);
}

OutageState ResultRecording::Commit(const WatchResult& result, OutageState state) {
    const ResultTime nextPrune = store_.WriteResult(watch_, result);
    store_.WriteState(watch_, state);
    transaction_.Commit();
    store_.nextPrune_ = nextPrune;
    return state;
}

}  // namespace corvasse

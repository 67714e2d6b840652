#pragma once
// The history of one watch, opened for reading only: what the History window
// and `corvasse --print-history` show, over one of the history's ranges up
// to a moment given (now, for them).

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/history_view/history_range.h"
#include "app/history_view/response_chart.h"
#include "core/history_records.h"
#include "history/history_store.h"

namespace corvasse {

// There is no history to show; the message says why.
class NoHistoryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class WatchHistory {
public:
    // The watch of the settings file and target (the target of its WatchSpec) in the
    // database. Throws NoHistoryError
    //     no history database at "FILE"
    //     no results recorded for "TARGET" (settings "SETTINGS") in "FILE"
    // and HistoryError for a file that cannot be used.
    WatchHistory(const std::filesystem::path& database, const std::filesystem::path& settingsFile,
                 std::string_view target);

    // "99.93 %" or "no data" (UptimeText). The rest throws HistoryError too.
    std::string Uptime(HistoryRange range, ResultTime now);
    // The range to show first: the shortest of 1 hour, 6 hours and 24
    // hours that holds every result so far, so that a watch's first hour
    // is not drawn in the last pixels of a day.
    HistoryRange FirstRange(ResultTime now);
    // Those that overlap the range, ongoing included, newest first.
    std::vector<Outage> Outages(HistoryRange range, ResultTime now);
    // The chart of the range, with its outages, for that many pixel columns.
    ResponseChart Chart(HistoryRange range, ResultTime now, int columns);
    std::optional<WatchResult> PointResult(const ResponseChart& chart, const ChartPoint& point);
    // The range's results as CSV (WriteResultsCsv).
    void WriteCsv(HistoryRange range, ResultTime now, const std::function<void(std::string_view)>& write);

private:
    HistoryStore store_;
    WatchId watch_;
};

}  // namespace corvasse

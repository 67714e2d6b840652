#include "app/history_view/watch_history.h"

#include <system_error>

#include "app/history_view/history_text.h"
#include "app/history_view/results_csv.h"

namespace corvasse {

namespace {

// The database, when there is a file to open.
const std::filesystem::path& Existing(const std::filesystem::path& database) {
    std::error_code error;
    if (!std::filesystem::exists(database, error) && !error) {
        throw NoHistoryError("no history database at \"" + database.string() + "\"");
    }
    return database;
}

}  // namespace

WatchHistory::WatchHistory(const std::filesystem::path& database, const std::filesystem::path& settingsFile,
                           std::string_view target)
    : store_(Existing(database), HistoryAccess::ReadOnly) {
    const std::optional<WatchId> watch = store_.FindWatch(settingsFile, target);
    if (!watch || !store_.HasResults(*watch)) {
        throw NoHistoryError("no results recorded for \"" + std::string(target) + "\" (settings \"" +
                             settingsFile.string() + "\") in \"" + database.string() + "\"");
    }
    watch_ = *watch;
}

std::string WatchHistory::Uptime(HistoryRange range, ResultTime now) {
    return UptimeText(store_.CountResults(watch_, RangeEndingAt(range, now)));
}

HistoryRange WatchHistory::FirstRange(ResultTime now) {
    const auto counted = [&](TimeRange span) {
        const ResultCount count = store_.CountResults(watch_, span);
        return count.up + count.down;
    };
    const int64_t all = counted({ResultTime{}, now + std::chrono::milliseconds(1)});
    for (const HistoryRange range : {HistoryRange::Hour, HistoryRange::SixHours}) {
        if (counted(RangeEndingAt(range, now)) == all) return range;
    }
    return HistoryRange::Day;
}

std::vector<Outage> WatchHistory::Outages(HistoryRange range, ResultTime now) {
    return store_.Outages(watch_, RangeEndingAt(range, now));
}

ResponseChart WatchHistory::Chart(HistoryRange range, ResultTime now, int columns) {
    return MakeResponseChart(store_, watch_, RangeEndingAt(range, now), columns, Outages(range, now), now);
}

std::optional<WatchResult> WatchHistory::PointResult(const ResponseChart& chart, const ChartPoint& point) {
    return corvasse::PointResult(store_, watch_, chart, point);
}

void WatchHistory::WriteCsv(HistoryRange range, ResultTime now, const std::function<void(std::string_view)>& write) {
    WriteResultsCsv(store_, watch_, RangeEndingAt(range, now), write);
}

}  // namespace corvasse

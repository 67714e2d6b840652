#include "app/history_view/response_chart.h"

#include <algorithm>

#include "history/history_store.h"

namespace corvasse {

namespace {

// Outage stretches within the range, oldest first, joined where less than a gap apart.
std::vector<TimeRange> OutageStretches(const std::vector<Outage>& outages, TimeRange range, ResultTime now,
                                       std::chrono::milliseconds gap) {
    std::vector<TimeRange> stretches;
    for (auto outage = outages.rbegin(); outage != outages.rend(); ++outage) {
        const TimeRange stretch{std::max(outage->began, range.from), std::min(outage->ended.value_or(now), range.to)};
        if (stretch.to <= stretch.from) continue;
        if (!stretches.empty() && stretch.from - stretches.back().to < gap) {
            stretches.back().to = std::max(stretches.back().to, stretch.to);
        } else {
            stretches.push_back(stretch);
        }
    }
    return stretches;
}

}  // namespace

ResponseChart MakeResponseChart(HistoryStore& store, WatchId watch, TimeRange range, int columns,
                                const std::vector<Outage>& outages, ResultTime now) {
    ResponseChart chart;
    chart.range = range;
    chart.columns = store.ResponseBuckets(watch, range, std::max(columns, 1));
    for (size_t i = 0; i < chart.columns.size(); ++i) {
        const ResponseBucket& column = chart.columns[i];
        // Columns may reach beyond the range (the last one, those of whole hours): their points stay inside it.
        const ResultTime middle = std::clamp(column.time.from + (column.time.to - column.time.from) / 2, range.from,
                                             range.to - std::chrono::milliseconds(1));
        if (column.minResponse && column.maxResponse) {
            chart.responses.push_back({middle, ResultState::Up, *column.minResponse, i});
            if (*column.maxResponse != *column.minResponse) {
                chart.responses.push_back({middle, ResultState::Up, *column.maxResponse, i});
            }
            chart.slowest = std::max(chart.slowest, *column.maxResponse);
        }
        if (column.count.down > 0) chart.downs.push_back({middle, ResultState::Down, {}, i});
    }
    const auto width = (range.to - range.from) / std::max(columns, 1);
    chart.outages = OutageStretches(outages, range, now, width);
    return chart;
}

std::optional<WatchResult> PointResult(HistoryStore& store, WatchId watch, const ResponseChart& chart,
                                       const ChartPoint& point) {
    std::optional<WatchResult> found;
    store.VisitResults(watch, chart.columns.at(point.column).time, [&](const WatchResult& result) {
        if (found || result.state != point.state) return;
        if (point.state == ResultState::Up && result.responseTime != point.response) return;
        found = result;
    });
    return found;
}

}  // namespace corvasse

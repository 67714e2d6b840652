#pragma once
// The response-time chart of a watch's history, worked out for a chart of a
// given number of pixel columns: never more than two points a column, the
// fastest and the slowest up result in it, however many results the range
// holds.

#include <chrono>
#include <optional>
#include <vector>

#include "core/history_records.h"

namespace corvasse {

class HistoryStore;

struct ChartPoint {
    // The middle of its column (kept within the range).
    ResultTime time;
    // Up: the fastest or slowest response of the column. Down: a mark on the
    // time axis for a column with down results.
    ResultState state = ResultState::Up;
    std::chrono::microseconds response{0};
    // Its column: the index in ResponseChart::columns.
    size_t column = 0;
};

struct ResponseChart {
    TimeRange range;
    // The columns that hold results, in time order (ResponseBuckets).
    std::vector<ResponseBucket> columns;
    // Each column's fastest and slowest response; one point when they are equal.
    std::vector<ChartPoint> responses;
    // One mark for each column with down results.
    std::vector<ChartPoint> downs;
    // The stretches of the range that outages took, in time order; those less
    // than a column apart are one, so there are never more than columns.
    std::vector<TimeRange> outages;
    // The slowest response of the range; 0 without up results.
    std::chrono::microseconds slowest{0};
};

// The chart of the range for the given number of columns (at least 1), with
// the outages given (an ongoing one lasts until now). Throws HistoryError.
ResponseChart MakeResponseChart(HistoryStore& store, WatchId watch, TimeRange range, int columns,
                                const std::vector<Outage>& outages, ResultTime now);

// The result a point stands for: the first in its column with the point's
// state (and, up, its response time). Nothing when it is no longer there
// (pruned meanwhile). Throws HistoryError.
std::optional<WatchResult> PointResult(HistoryStore& store, WatchId watch, const ResponseChart& chart,
                                       const ChartPoint& point);

}  // namespace corvasse

#include "app/history_view/history_range.h"

namespace corvasse {

namespace {

using std::chrono::hours;

struct RangeInfo {
    HistoryRange range;
    hours length;
    std::string_view name;
    std::string_view key;
};

constexpr RangeInfo kRanges[] = {
    {HistoryRange::Hour, hours(1), "1 hour", "1h"},
    {HistoryRange::SixHours, hours(6), "6 hours", "6h"},
    {HistoryRange::Day, hours(24), "24 hours", "24h"},
    {HistoryRange::Week, std::chrono::days(7), "7 days", "7d"},
    {HistoryRange::Month, std::chrono::days(30), "30 days", "30d"},
    {HistoryRange::Year, std::chrono::days(365), "1 year", "1y"},
};

const RangeInfo& Info(HistoryRange range) { return kRanges[static_cast<size_t>(range)]; }

}  // namespace

hours RangeLength(HistoryRange range) { return Info(range).length; }

std::string_view RangeName(HistoryRange range) { return Info(range).name; }

std::string_view RangeKey(HistoryRange range) { return Info(range).key; }

std::optional<HistoryRange> RangeFromKey(std::string_view key) {
    for (const RangeInfo& info : kRanges) {
        if (info.key == key) return info.range;
    }
    return std::nullopt;
}

TimeRange RangeEndingAt(HistoryRange range, ResultTime now) {
    const ResultTime end = now + std::chrono::milliseconds(1);
    return {end - RangeLength(range), end};
}

}  // namespace corvasse

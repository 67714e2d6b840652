#pragma once
// The stretches of time a history is looked at over: the last 24 hours,
// 7 days, 30 days or year, each up to the moment it is looked at.

#include <array>
#include <chrono>
#include <optional>
#include <string_view>

#include "history/history_records.h"

namespace corvasse {

enum class HistoryRange { Day, Week, Month, Year };

inline constexpr std::array<HistoryRange, 4> kHistoryRanges = {HistoryRange::Day, HistoryRange::Week,
                                                               HistoryRange::Month, HistoryRange::Year};

// 24 hours, 7 days, 30 days, 365 days.
std::chrono::hours RangeLength(HistoryRange range);

// "24 hours", "7 days", "30 days", "1 year".
std::string_view RangeName(HistoryRange range);

// "24h", "7d", "30d", "1y": how a command line names it.
std::string_view RangeKey(HistoryRange range);
std::optional<HistoryRange> RangeFromKey(std::string_view key);

// The range's length up to now, a result of this very moment included and
// one exactly a length ago not: (now - length, now].
TimeRange RangeEndingAt(HistoryRange range, ResultTime now);

}  // namespace corvasse

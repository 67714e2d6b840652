#pragma once
// The stretches of time a history is looked at over: the last hour, 6 hours,
// 24 hours, 7 days, 30 days or year, each up to the moment it is looked at.

#include <array>
#include <chrono>
#include <optional>
#include <string_view>

#include "core/history_records.h"

namespace corvasse {

enum class HistoryRange { Hour, SixHours, Day, Week, Month, Year };

inline constexpr std::array<HistoryRange, 6> kHistoryRanges = {HistoryRange::Hour,  HistoryRange::SixHours,
                                                               HistoryRange::Day,   HistoryRange::Week,
                                                               HistoryRange::Month, HistoryRange::Year};
// The ranges the uptime is told for.
inline constexpr std::array<HistoryRange, 4> kUptimeRanges = {HistoryRange::Day, HistoryRange::Week,
                                                              HistoryRange::Month, HistoryRange::Year};

// 1 hour, 6 hours, 24 hours, 7 days, 30 days, 365 days.
std::chrono::hours RangeLength(HistoryRange range);

// "1 hour", "6 hours", "24 hours", "7 days", "30 days", "1 year".
std::string_view RangeName(HistoryRange range);

// "1h", "6h", "24h", "7d", "30d", "1y": how a command line names it.
std::string_view RangeKey(HistoryRange range);
std::optional<HistoryRange> RangeFromKey(std::string_view key);

// The range's length up to now, a result of this very moment included and
// one exactly a length ago not: (now - length, now].
TimeRange RangeEndingAt(HistoryRange range, ResultTime now);

}  // namespace corvasse

#pragma once
// A watch's history as the History window and `corvasse --print-history`
// show it: the uptime, the rows of the outage table, a chart point's tip.

#include <array>
#include <string>
#include <string_view>

#include "core/history_records.h"

namespace corvasse {

// The share of up results among the up and down ones, "99.93 %": cut (not
// rounded) to two decimals, so that only a range without a down result
// reads "100.00 %". "no data" for a range without results.
std::string UptimeText(const ResultCount& count);

// The columns of the outage table.
inline constexpr std::array<std::string_view, 5> kOutageColumns = {"Began", "Ended", "Duration", "Failed watches",
                                                                   "First reason"};

// An outage as a row of the outage table, a text for each column: when it
// began and ended ("ongoing" while it goes on) in local time, "2026-12-08
// 14:02:07"; how long it lasted, until now while it goes on ("2 h 13 min");
// every down result of it; its first reason, on one line.
using OutageRow = std::array<std::string, kOutageColumns.size()>;
OutageRow OutageRowOf(const Outage& outage, ResultTime now);

// A result as its chart point's tip shows it, two lines:
//     2026-12-08 14:02:07
//     Up: 2043 bytes in 12 ms      (or "Down: REASON")
std::string ResultTip(const WatchResult& result);

}  // namespace corvasse

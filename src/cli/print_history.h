#pragma once
// `corvasse --print-history`: the history of the watch that the settings
// describe, on standard output, where no display is.
//
//     Uptime 24 hours: 99.93 %
//     Uptime 7 days: 99.98 %
//     Uptime 30 days: 99.99 %
//
//     Outages 30 days: 1
//     Began                Ended    Duration    Failed watches  First reason
//     2026-12-08 14:02:07  ongoing  2 h 13 min  134             Read Timeout
//
// or the range's results as CSV (results_csv.h).

#include <cstdio>

#include "app/history_view/history_range.h"
#include "core/history_records.h"

namespace corvasse {

struct MonitorFiles;

enum class HistoryFormat { Summary, Csv };

// The exit status when there is no history to print.
inline constexpr int kNoHistoryStatus = 2;

// Prints the uptime of each range up to since and the outages of since
// (HistoryFormat::Summary), or the results of since (HistoryFormat::Csv),
// as of now, to out. Returns the exit status: 0, or kNoHistoryStatus with the
// reason on err when there is no database, no result for the watch, or a
// file that cannot be read.
int PrintHistory(const MonitorFiles& files, HistoryRange since, HistoryFormat format, ResultTime now, std::FILE* out,
                 std::FILE* err);

}  // namespace corvasse

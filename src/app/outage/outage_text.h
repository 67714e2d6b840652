#pragma once
// The texts of the outage model: the status pane's line for each result,
// the reminder's line, and the recovery report. DATE-TIME is local time,
// "2026-12-08 14:02:07"; durations read "45 s", "4 min", "2 h 13 min".

#include <cstdint>
#include <string>

#include "core/history_records.h"

namespace corvasse {

// "Up: 2043 bytes in 12 ms" ("Up: 12 ms" without a size, "Up" without either).
std::string UpLine(const WatchResult& result);

// An up result of an outage that needs more of them to end:
// "Up (1 of 3): 2043 bytes in 12 ms; not back up yet".
std::string UpInOutageLine(const WatchResult& result, int64_t upsInRow, int recoverAfter);

// The up result that ended the outage: "Up: 2043 bytes in 12 ms; back up after 4 min".
std::string BackUpLine(const WatchResult& result, const Outage& outage);

// A down result before its outage begins, "Down (1 of 2): REASON; no alert
// yet" (a full stop that ends the reason left out there), and the one with
// which it begins, "Down (2 of 2): REASON".
std::string DownCountLine(const WatchResult& result, int64_t downsInRow, int alertAfter);

// "Down since DATE-TIME (DURATION)": the reminder's line; the pane's line for
// a down result of an outage adds ": REASON".
std::string DownSinceLine(const Outage& outage, ResultTime now);

// The lines of the recovery mail and its log record, each ended by LF:
//     Back up after DURATION
//     Down from DATE-TIME to DATE-TIME
//     Watching paused from DATE-TIME to DATE-TIME   (one for each pause, if any)
//     Failed watches: N
//     First failure: REASON
//     Last failure: REASON
// For an outage that has ended.
std::string RecoveryReport(const Outage& outage);

}  // namespace corvasse

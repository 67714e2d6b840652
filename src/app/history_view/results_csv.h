#pragma once
// A watch's results as CSV (RFC 4180), for a spreadsheet or a script:
//
//     time,result,response_ms,size,reason
//     2026-12-08T14:02:07.123Z,up,12.345,2043,
//     2026-12-08T14:03:07.050Z,down,,,Read Timeout
//
// Times in ISO 8601, UTC, to the millisecond; result "up", "down" or
// "unknown"; the response time in milliseconds to the microsecond; the page's
// size in bytes; the reason as it was recorded, made safe for a spreadsheet:
// one that begins with "=", "+", "-", "@", a tab or a CR gets a leading "'"
// (it would be taken for a formula), a byte that is not UTF-8 becomes U+FFFD
// and a control character a blank. A field with a comma or a quote is quoted
// (its quotes doubled); lines end with CR LF.

#include <functional>
#include <string>
#include <string_view>

#include "core/history_records.h"

namespace corvasse {

class HistoryStore;

// The header line and the row of one result, each with its CR LF.
inline constexpr std::string_view kResultsCsvHeader = "time,result,response_ms,size,reason\r\n";
std::string ResultsCsvRow(const WatchResult& result);

// Hands the header and the rows of every result of the range, oldest first,
// to write in pieces. Throws HistoryError, and what write throws.
void WriteResultsCsv(HistoryStore& store, WatchId watch, TimeRange range,
                     const std::function<void(std::string_view)>& write);

}  // namespace corvasse

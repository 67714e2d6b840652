#pragma once
// Where the History window's time axis is marked: at round moments in local
// time that a reader takes in at a glance, as fine as the range needs.
//     1 hour: every 10 minutes; 6 hours: every hour; 24 hours: every third
//     hour (00:00, 03:00, ...); 7 days: each midnight; 30 days: the
//     midnight of every fifth day of the month (1, 6, 11, ...); 1 year: the
//     first of each month.

#include <vector>

#include "app/history_view/history_range.h"
#include "core/history_records.h"

namespace corvasse {

// The marks of a range's span, in time order, from its start up to, not
// including, its end.
std::vector<ResultTime> TimeTicks(HistoryRange range, TimeRange span);

}  // namespace corvasse

// The History window's time-axis marks: round local times for each range,
// whatever moment the range starts at, in any time zone.

#include "app/time_ticks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/result_time_text.h"
#include "support/scoped_environment.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using std::chrono::days, std::chrono::hours, std::chrono::minutes;
using test::kDayStart;

std::vector<std::string> TickTexts(HistoryRange range, ResultTime from) {
    std::vector<std::string> texts;
    for (const ResultTime tick : TimeTicks(range, {from, from + RangeLength(range)})) {
        texts.push_back(TimestampText(tick).substr(5, 11));  // "12-08 14:00"
    }
    return texts;
}

TEST(TimeTicksTest, FallOnRoundHoursAndMidnightsOfLocalTime) {
    const ResultTime afternoon = kDayStart + hours(13) + minutes(47);  // Tuesday 2026-12-08 13:47 UTC
    const struct {
        const char* zone;
        HistoryRange range;
        ResultTime from;
        std::vector<std::string> ticks;
    } rows[] = {
        {"UTC0",
         HistoryRange::Hour,
         afternoon,
         {"12-08 13:50", "12-08 14:00", "12-08 14:10", "12-08 14:20", "12-08 14:30", "12-08 14:40"}},
        {"UTC0",
         HistoryRange::SixHours,
         afternoon,
         {"12-08 14:00", "12-08 15:00", "12-08 16:00", "12-08 17:00", "12-08 18:00", "12-08 19:00"}},
        {"UTC0",
         HistoryRange::Day,
         afternoon,
         {"12-08 15:00", "12-08 18:00", "12-08 21:00", "12-09 00:00", "12-09 03:00", "12-09 06:00", "12-09 09:00",
          "12-09 12:00"}},
        // Not Tue 23:30, Thu 03:30 ...
        {"UTC0",
         HistoryRange::Week,
         kDayStart + hours(23) + minutes(30),
         {"12-09 00:00", "12-10 00:00", "12-11 00:00", "12-12 00:00", "12-13 00:00", "12-14 00:00", "12-15 00:00"}},
        {"UTC0",
         HistoryRange::Month,
         afternoon,
         {"12-11 00:00", "12-16 00:00", "12-21 00:00", "12-26 00:00", "01-01 00:00", "01-06 00:00"}},
        {"UTC0",
         HistoryRange::Year,
         kDayStart + days(300),  // 2027-10-04
         {"11-01 00:00", "12-01 00:00", "01-01 00:00", "02-01 00:00", "03-01 00:00", "04-01 00:00", "05-01 00:00",
          "06-01 00:00", "07-01 00:00", "08-01 00:00", "09-01 00:00", "10-01 00:00"}},
        // Half an hour off UTC: the marks are local midnights, not UTC ones.
        {"IST-5:30",
         HistoryRange::Week,
         afternoon,
         {"12-09 00:00", "12-10 00:00", "12-11 00:00", "12-12 00:00", "12-13 00:00", "12-14 00:00", "12-15 00:00"}},
        {"IST-5:30",
         HistoryRange::Hour,
         afternoon,  // 19:17 local
         {"12-08 19:20", "12-08 19:30", "12-08 19:40", "12-08 19:50", "12-08 20:00", "12-08 20:10"}},
        // Summer time begins at 02:00 on 2027-03-28: 24 hours reach 21:00 again, the marks stay round.
        {"CET-1CEST,M3.5.0,M10.5.0/3",
         HistoryRange::Day,
         kDayStart + days(109) + hours(20),
         {"03-27 21:00", "03-28 00:00", "03-28 03:00", "03-28 06:00", "03-28 09:00", "03-28 12:00", "03-28 15:00",
          "03-28 18:00", "03-28 21:00"}},
        // ... and ends at 03:00 on 2027-10-31: the 02:00 that comes twice is marked once.
        {"CET-1CEST,M3.5.0,M10.5.0/3",
         HistoryRange::SixHours,
         kDayStart + days(326) + hours(22) + minutes(30),
         {"10-31 01:00", "10-31 02:00", "10-31 03:00", "10-31 04:00", "10-31 05:00"}},
    };
    for (const auto& row : rows) {
        test::ScopedEnvironment zone("TZ", row.zone);
        SCOPED_TRACE(std::string(row.zone) + ", " + std::string(RangeName(row.range)));
        EXPECT_EQ(TickTexts(row.range, row.from), row.ticks);
    }
}

}  // namespace
}  // namespace corvasse

// A watch's history as the History window and --print-history read it: the
// uptime of each range up to now, the outage rows, the chart's points, the
// CSV of the results, the chart's time marks and what names the watch.

#include "app/history_view/watch_history.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/fakes.h"
#include "app/history_view/history_text.h"
#include "app/history_view/results_csv.h"
#include "app/history_view/time_ticks.h"
#include "app/settings/settings_store.h"
#include "app/view/result_time_text.h"
#include "history/history_error.h"
#include "support/expect_throw.h"
#include "support/recorded_outage.h"
#include "support/scoped_environment.h"
#include "support/temp_dir.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using std::chrono::days, std::chrono::hours, std::chrono::minutes, std::chrono::milliseconds, std::chrono::microseconds;
using test::kDayStart;

constexpr const char* kSettings = "/home/ann/.config/Corvasse/Corvasse.conf";
constexpr const char* kAddress = "http://shop.example/";

class WatchHistoryTest : public ::testing::Test {
protected:
    void Record(const WatchResult& result) { writer_.RecordResult(watch_, result); }
    void RecordOutage(ResultTime began, std::optional<ResultTime> ended, int64_t downs, std::string reason) {
        test::RecordOutage(writer_, watch_, began, ended, downs, reason);
    }
    WatchHistory Reader() { return WatchHistory(file_, kSettings, kAddress); }

    // Local time is UTC here, so that the texts can be written down.
    test::ScopedEnvironment utc_{"TZ", "UTC0"};
    test::TempDir temp_;
    std::filesystem::path file_ = temp_.Path() / kHistoryFileName;
    HistoryStore writer_{file_};
    WatchId watch_ = writer_.FindOrAddWatch(kSettings, kAddress);
};

TEST(UptimeTextTest, IsCutToHundredthsNeverRoundedUp) {
    const struct {
        ResultCount count;
        const char* text;
    } rows[] = {
        {{0, 0}, "no data"},     {{1, 0}, "100.00 %"},     {{0, 3}, "0.00 %"}, {{2, 1}, "66.66 %"},
        {{9993, 7}, "99.93 %"},  {{525599, 1}, "99.99 %"},  // 99.9998: a down result never reads as 100 %
        {{1, 525599}, "0.00 %"},
    };
    for (const auto& row : rows) EXPECT_EQ(UptimeText(row.count), row.text) << row.count.up << "/" << row.count.down;
}

TEST_F(WatchHistoryTest, UptimeOfEachRangeCountsUpToNowAndNotTheMomentALengthAgo) {
    const ResultTime now = kDayStart + days(400);
    // On each range's edges: the moment a length ago is not in it, a millisecond later is.
    for (const HistoryRange range : kUptimeRanges) {
        Record(test::Down(now - RangeLength(range)));
        Record(test::Up(now - RangeLength(range) + milliseconds(1)));
    }
    Record(test::Up(now));                    // this very moment
    Record(test::Up(now + milliseconds(1)));  // later than now: not yet
    Record(test::Unknown(now - hours(1)));    // counts for nothing
    WatchHistory history = Reader();
    // 24 hours: its own up and the one of now; each longer range adds one up and the shorter one's down.
    EXPECT_EQ(history.Uptime(HistoryRange::Day, now), "100.00 %");
    EXPECT_EQ(history.Uptime(HistoryRange::Week, now), "75.00 %");
    EXPECT_EQ(history.Uptime(HistoryRange::Month, now), "66.66 %");
    EXPECT_EQ(history.Uptime(HistoryRange::Year, now), "62.50 %");
}

TEST_F(WatchHistoryTest, AGapCountsForNothingAndARangeWithoutResultsHasNoData) {
    // Results for the first two hours of a week, then the watch was not running.
    for (int i = 0; i < 120; ++i)
        Record(i % 40 == 0 ? test::Down(kDayStart + minutes(i)) : test::Up(kDayStart + minutes(i)));
    WatchHistory history = Reader();
    EXPECT_EQ(history.Uptime(HistoryRange::Week, kDayStart + days(6)), "97.50 %");
    EXPECT_EQ(history.Uptime(HistoryRange::Day, kDayStart + days(6)), "no data");
    Record(test::Unknown(kDayStart + days(6) - hours(1)));
    EXPECT_EQ(Reader().Uptime(HistoryRange::Day, kDayStart + days(6)), "no data");
}

TEST_F(WatchHistoryTest, OutageRowsNewestFirstWithTheOngoingOneLastingUntilNow) {
    const ResultTime now = kDayStart + days(10) + hours(2) + minutes(13) + milliseconds(999);
    RecordOutage(kDayStart, kDayStart + minutes(4), 4, "Socket Error # 10061\r\nConnection refused.");
    // A server's text that would steer a terminal.
    RecordOutage(kDayStart + days(9), kDayStart + days(9) + hours(3) + minutes(30) + milliseconds(59999), 211,
                 "HTTP/1.1 503 \x1b[2JService\tUnavailable");
    RecordOutage(kDayStart + days(10), std::nullopt, 134, "Read Timeout");
    WatchHistory history = Reader();

    std::vector<OutageRow> rows;
    for (const Outage& outage : history.Outages(HistoryRange::Month, now)) rows.push_back(OutageRowOf(outage, now));
    const std::vector<OutageRow> want = {
        {"2026-12-18 00:00:00", "ongoing", "2 h 13 min", "134", "Read Timeout"},
        {"2026-12-17 00:00:00", "2026-12-17 03:30:59", "3 h 30 min", "211", "HTTP/1.1 503  [2JService Unavailable"},
        {"2026-12-08 00:00:00", "2026-12-08 00:04:00", "4 min", "4", "Socket Error # 10061 Connection refused."},
    };
    EXPECT_EQ(rows, want);
    // An outage that began before the range and ended in it belongs to it.
    EXPECT_EQ(history.Outages(HistoryRange::Day, kDayStart + days(1) + minutes(2)).size(), 1u);
    EXPECT_EQ(history.Outages(HistoryRange::Day, kDayStart + days(1) + minutes(5)).size(), 0u);
}

TEST_F(WatchHistoryTest, ChartHasAtMostTwoPointsAColumnAndMarksDownsAndOutages) {
    // A day of one-minute results: up ones of 10 + i % 7 ms, every 100th down.
    for (int i = 0; i < 1440; ++i) {
        const ResultTime time = kDayStart + minutes(i);
        Record(i % 100 == 50 ? test::Down(time, "Read Timeout") : test::Up(time, milliseconds(10 + i % 7), 1000 + i));
    }
    RecordOutage(kDayStart + hours(3), kDayStart + hours(3) + minutes(10), 10, "Read Timeout");
    RecordOutage(kDayStart + hours(3) + minutes(11), kDayStart + hours(4), 10, "Read Timeout");  // a minute later
    RecordOutage(kDayStart + hours(20), std::nullopt, 3, "Read Timeout");
    const ResultTime now = kDayStart + days(1) - milliseconds(1);
    WatchHistory history = Reader();

    // Outages less than a column apart are one stretch: the two a minute apart
    // once a column is wider than a minute, all three in a single column.
    const struct {
        int columns;
        size_t stretches;
    } rows[] = {{1, 1}, {7, 2}, {300, 2}, {1440, 3}, {5000, 3}};
    for (const auto [columns, stretches] : rows) {
        SCOPED_TRACE(columns);
        const ResponseChart chart = history.Chart(HistoryRange::Day, now, columns);
        EXPECT_LE(chart.columns.size(), static_cast<size_t>(columns));
        EXPECT_LE(chart.responses.size(), 2 * chart.columns.size());
        EXPECT_LE(chart.downs.size(), chart.columns.size());
        EXPECT_EQ(chart.slowest, milliseconds(16));
        std::vector<int> pointsInColumn(chart.columns.size());
        for (const ChartPoint& point : chart.responses) {
            EXPECT_GE(point.time, chart.range.from);
            EXPECT_LT(point.time, chart.range.to);
            const ResponseBucket& column = chart.columns[point.column];
            EXPECT_TRUE(point.response == column.minResponse || point.response == column.maxResponse);
            ++pointsInColumn[point.column];
        }
        for (size_t i = 0; i < chart.columns.size(); ++i) {
            const ResponseBucket& column = chart.columns[i];
            EXPECT_EQ(pointsInColumn[i], column.count.up == 0 ? 0 : column.minResponse == column.maxResponse ? 1 : 2);
        }
        int64_t downs = 0;
        for (const ResponseBucket& column : chart.columns) downs += column.count.down > 0 ? 1 : 0;
        EXPECT_EQ(static_cast<int64_t>(chart.downs.size()), downs);
        ASSERT_EQ(chart.outages.size(), stretches);
        EXPECT_EQ(chart.outages.front().from, kDayStart + hours(3));
        EXPECT_EQ(chart.outages.back().to, now);
    }
    // With a column for each result, every result is a point.
    EXPECT_EQ(history.Chart(HistoryRange::Day, now, 1440).responses.size(), 1440u - 14u);
}

TEST_F(WatchHistoryTest, CsvHoldsEveryResultOfTheRangeAsRfc4180) {
    Record(test::Up(kDayStart + milliseconds(7), microseconds(12345), 2043));
    Record(test::Down(kDayStart + minutes(1), "Socket Error # 10061\r\nConnection refused."));
    Record(test::Down(kDayStart + minutes(2), "the text \"Welcome\", was not on the page"));
    Record(WatchResult{kDayStart + minutes(3), ResultState::Up, milliseconds(3), std::nullopt, ""});  // a ping
    Record(test::Unknown(kDayStart + minutes(4)));
    Record(test::Up(kDayStart - days(2)));  // before the range
    std::string csv;
    Reader().WriteCsv(HistoryRange::Day, kDayStart + hours(1), [&](std::string_view piece) { csv += piece; });
    EXPECT_EQ(csv,
              "time,result,response_ms,size,reason\r\n"
              "2026-12-08T00:00:00.007Z,up,12.345,2043,\r\n"
              "2026-12-08T00:01:00.000Z,down,,,Socket Error # 10061  Connection refused.\r\n"
              "2026-12-08T00:02:00.000Z,down,,,\"the text \"\"Welcome\"\", was not on the page\"\r\n"
              "2026-12-08T00:03:00.000Z,up,3.000,,\r\n"
              "2026-12-08T00:04:00.000Z,unknown,,,no route to 203.0.113.5\r\n");
}

TEST(ResultsCsvTest, ReasonIsNeitherAFormulaNorBadUtf8NorAControl) {
    const std::pair<std::string, const char*> rows[] = {
        {"=HYPERLINK(\"http://evil/\",\"x\")", "\"'=HYPERLINK(\"\"http://evil/\"\",\"\"x\"\")\""},
        {"+1+cmd|'/C calc'!A0", "'+1+cmd|'/C calc'!A0"},
        {"-2+3", "'-2+3"},
        {"@SUM(1+1)", "'@SUM(1+1)"},
        {"\t=1", "' =1"},
        {"\r=1", "' =1"},
        {"HTTP/1.1 500 a=b-c", "HTTP/1.1 500 a=b-c"},                // only the first character counts
        {"bad \xff\xc3 byte", "bad \xEF\xBF\xBD\xEF\xBF\xBD byte"},  // each byte one U+FFFD
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},    // valid UTF-8 stays
        {"a\x1b]2;x\ab\x7f\xC2\x85", "a ]2;x b  "},                  // C0, DEL and C1 controls
    };
    for (const auto& [reason, field] : rows)
        EXPECT_EQ(ResultsCsvRow(test::Down(kDayStart, reason)),
                  "2026-12-08T00:00:00.000Z,down,,," + std::string(field) + "\r\n");
}

// "21:00 12-09 03:00 ..." in local time: a midnight by its date, the other marks by their time.
std::string TickTexts(HistoryRange range, ResultTime from) {
    std::string texts;  // from "2026-12-08 14:00:00": "12-08" or "14:00"
    for (const ResultTime tick : TimeTicks(range, {from, from + RangeLength(range)}))
        texts += " " + TimestampText(tick).substr(TimestampText(tick).substr(11, 5) == "00:00" ? 5 : 11, 5);
    return texts.substr(1);
}

TEST(TimeTicksTest, FallOnRoundHoursAndMidnightsOfLocalTime) {
    const ResultTime afternoon = kDayStart + hours(13) + minutes(47);  // Tuesday 2026-12-08 13:47 UTC
    constexpr const char* kCet = "CET-1CEST,M3.5.0,M10.5.0/3";
    const std::tuple<const char*, HistoryRange, ResultTime, const char*> rows[] = {
        {"UTC0", HistoryRange::Hour, afternoon, "13:50 14:00 14:10 14:20 14:30 14:40"},
        {"UTC0", HistoryRange::Day, afternoon, "15:00 18:00 21:00 12-09 03:00 06:00 09:00 12:00"},
        {"UTC0", HistoryRange::Week, kDayStart + hours(23) + minutes(30), "12-09 12-10 12-11 12-12 12-13 12-14 12-15"},
        {"IST-5:30", HistoryRange::Week, afternoon, "12-09 12-10 12-11 12-12 12-13 12-14 12-15"},  // local midnights
        {"UTC0", HistoryRange::Month, afternoon, "12-11 12-16 12-21 12-26 01-01 01-06"},
        {"UTC0", HistoryRange::Year, kDayStart + days(300),  // 2027-10-04
         "11-01 12-01 01-01 02-01 03-01 04-01 05-01 06-01 07-01 08-01 09-01 10-01"},
        // Summer time begins at 02:00 on 2027-03-28: 24 hours reach 21:00 again, the marks stay round.
        {kCet, HistoryRange::Day, kDayStart + days(109) + hours(20),
         "21:00 03-28 03:00 06:00 09:00 12:00 15:00 18:00 21:00"},
        // ... and ends at 03:00 on 2027-10-31: the 02:00 that comes twice is marked once.
        {kCet, HistoryRange::SixHours, kDayStart + days(326) + hours(22) + minutes(30),
         "01:00 02:00 03:00 04:00 05:00"},
    };
    for (const auto& [zone, range, from, ticks] : rows) {
        test::ScopedEnvironment scoped("TZ", zone);
        EXPECT_EQ(TickTexts(range, from), ticks) << zone << ", " << RangeName(range);
    }
}

TEST_F(WatchHistoryTest, SaysWhyThereIsNoHistoryWithoutCreatingOne) {
    const std::filesystem::path missing = temp_.Path() / "state" / kHistoryFileName;
    writer_.FindOrAddWatch(kSettings, "http://added-but-never-recorded/");
    Record(test::Up(kDayStart));
    const struct {
        std::filesystem::path file;
        const char* target;
        std::string message;
    } rows[] = {
        {missing, kAddress, "no history database at \"" + missing.string() + "\""},
        {file_, "http://other/",
         "no results recorded for \"http://other/\" (settings \"" + std::string(kSettings) + "\") in \"" +
             file_.string() + "\""},
        {file_, "http://added-but-never-recorded/",
         "no results recorded for \"http://added-but-never-recorded/\" (settings \"" + std::string(kSettings) +
             "\") in \"" + file_.string() + "\""},
    };
    for (const auto& row : rows) {
        test::ExpectThrowWithMessage<NoHistoryError>([&] { WatchHistory(row.file, kSettings, row.target); },
                                                     row.message);
    }
    EXPECT_FALSE(std::filesystem::exists(missing.parent_path()));
}

}  // namespace
}  // namespace corvasse

#include "app/watch_list/watch_row.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"
#include "support/watch_results.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

// 2026-12-09 14:03:20 UTC.
const ResultTime kAt{1'765'289'000'000ms};

WatchStatus Status(bool watching, LastResult last, std::optional<std::chrono::microseconds> responseTime = {},
                   std::optional<ResultTime> downSince = {}, std::optional<ResultTime> next = {}) {
    WatchStatus status{"shop",       "/c/shop.conf", "http://shop/", watching, last, kAt,
                       responseTime, downSince,      next,           {},       {}};
    if (last == LastResult::Unknown) status.lastTime.reset();
    return status;
}

TEST(WatchRowTest, ColumnsFollowWhatTheWatchLastDid) {
    struct Row {
        const char* name;
        WatchStatus status;
        std::vector<std::string> expected;  // state, response time, next run
    };
    const std::vector<Row> rows = {
        {"never started", Status(false, LastResult::Unknown), {"Not watching", "", ""}},
        {"stopped keeps no times", Status(false, LastResult::Up, 120ms, {}, kAt + 15min), {"Not watching", "", ""}},
        {"started, no result yet", Status(true, LastResult::Unknown, {}, {}, kAt + 1min), {"Unknown", "", "14:04"}},
        {"up", Status(true, LastResult::Up, 120'700us, {}, kAt + 15min), {"Up", "120 ms", "14:18"}},
        {"offline", Status(true, LastResult::Offline, {}, kAt - 1h), {"Offline", "", ""}},
        {"down since its first down",
         Status(true, LastResult::Down, 3s, kAt - 2h, kAt + 1min),
         {"Down since 12:03", "3000 ms", "14:04"}},
    };
    test::ScopedEnvironment zone("TZ", "UTC0");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MakeWatchRow(row.status, "99.00 %"),
                  (WatchRow{"shop", "http://shop/", row.expected[0], row.expected[1], "99.00 %", row.expected[2]}));
    }
}

TEST(WatchRowTest, DownSinceTheFirstFailureOfTheRunAcrossOfflineResults) {
    const std::vector<std::pair<WatchResult, const char*>> steps = {
        {test::Up(kAt), "Up"},
        {test::Down(kAt + 1min), "Down since 14:04"},
        {test::Unknown(kAt + 2min), "Offline"},
        {test::Down(kAt + 3min), "Down since 14:04"},
        {test::Up(kAt + 4min), "Up"},
        {test::Down(kAt + 5min), "Down since 14:08"},
    };
    test::ScopedEnvironment zone("TZ", "UTC0");
    WatchStatus status = Status(true, LastResult::Unknown);
    for (const auto& [result, state] : steps) {
        TakeResult(status, result);
        EXPECT_EQ(WatchStateText(status), state);
        EXPECT_EQ(status.lastTime, result.time);
    }
}

}  // namespace
}  // namespace corvasse

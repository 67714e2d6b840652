#include "app/watch_list/watch_row.h"

#include <gtest/gtest.h>

#include "support/scoped_environment.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

// 2026-12-09 14:03:20 UTC.
const ResultTime kAt{1'765'289'000'000ms};

WatchResult Result(ResultState state, std::optional<std::chrono::microseconds> responseTime = std::nullopt) {
    return {kAt, state, responseTime, std::nullopt, ""};
}

TEST(WatchRowTest, ColumnsFollowWhatTheWatchLastDid) {
    struct Row {
        const char* name;
        WatchRowFacts facts;
        WatchRow expected;
    };
    const std::vector<Row> rows = {
        {"never started",
         {"shop", "http://shop/", false, std::nullopt, std::nullopt, std::nullopt, "no data"},
         {"shop", "http://shop/", "Not watching", "", "no data", ""}},
        {"stopped keeps no times",
         {"shop", "http://shop/", false, Result(ResultState::Up, 120ms), std::nullopt, kAt + 15min, "100.00 %"},
         {"shop", "http://shop/", "Not watching", "", "100.00 %", ""}},
        {"started, no result yet",
         {"shop", "a", true, std::nullopt, std::nullopt, kAt + 1min, ""},
         {"shop", "a", "Unknown", "", "", "14:04"}},
        {"up",
         {"shop", "a", true, Result(ResultState::Up, 120'700us), std::nullopt, kAt + 15min, ""},
         {"shop", "a", "Up", "120 ms", "", "14:18"}},
        {"offline",
         {"blog", "a", true, Result(ResultState::Unknown), std::nullopt, std::nullopt, ""},
         {"blog", "a", "Offline", "", "", ""}},
        {"down since its first down",
         {"blog", "a", true, Result(ResultState::Down, 3s), kAt - 2h, kAt + 1min, ""},
         {"blog", "a", "Down since 12:03", "3000 ms", "", "14:04"}},
        {"down, first of its run",
         {"blog", "a", true, Result(ResultState::Down), std::nullopt, std::nullopt, ""},
         {"blog", "a", "Down since 14:03", "", "", ""}},
    };
    test::ScopedEnvironment zone("TZ", "UTC0");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MakeWatchRow(row.facts), row.expected);
    }
}

}  // namespace
}  // namespace corvasse

#pragma once
// What the "Corvasse Watches" list shows of one watch, as the texts of its
// columns, worked out from what the watch last did.

#include <optional>
#include <string>

#include "core/history_records.h"

namespace corvasse {

// What is known of one watch when its row is drawn.
struct WatchRowFacts {
    std::string name;
    // The address it fetches or the host it pings; empty until read.
    std::string address;
    bool watching = false;
    // Its last result while it watches.
    std::optional<WatchResult> last;
    // The first down result of the outage or the run of downs it is in.
    std::optional<ResultTime> downSince;
    // When its next watch runs, while it watches.
    std::optional<ResultTime> nextRun;
    // Its uptime over the last 24 hours ("99.93 %", "no data"); empty until read.
    std::string dayUptime;
};

// The columns of one row.
struct WatchRow {
    std::string name;
    std::string address;
    std::string state;
    std::string responseTime;
    std::string dayUptime;
    std::string nextRun;

    bool operator==(const WatchRow&) const = default;
};

// "Not watching" while it does not watch; then "Unknown" before its first
// result, "Offline" when the last one could not tell (this computer was
// offline), "Down since 14:03" (local time) while it is down, else "Up".
std::string WatchStateText(const WatchRowFacts& facts);

// The row: the state as above, the last response time ("120 ms", empty
// without one) and the local time of the next run ("14:20"); both empty while
// it does not watch.
WatchRow MakeWatchRow(const WatchRowFacts& facts);

}  // namespace corvasse

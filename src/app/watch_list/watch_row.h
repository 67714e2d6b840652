#pragma once
// What the "Corvasse Watches" list shows of one watch, as the texts of its
// columns, worked out from what the watch last did.

#include <string>

#include "app/monitor/watch_set.h"

namespace corvasse {

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
std::string WatchStateText(const WatchStatus& status);

// The row: the state as above, the last response time ("120 ms", empty
// without one) and the local time of the next run ("14:20"); both empty while
// it does not watch. The uptime is as given ("99.93 %").
WatchRow MakeWatchRow(const WatchStatus& status, const std::string& dayUptime);

}  // namespace corvasse

#pragma once
// What a metrics scraper is told of one watch: its last result, how many
// results of each kind it came to, its outage and its certificate's end.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "core/history_records.h"

namespace corvasse {

struct WatchStatus;

struct WatchMetrics {
    std::string name;
    // The address fetched, or the host pinged.
    std::string address;
    // Of the last result that was up or down; none before the first.
    std::optional<bool> up;
    // The last result could not tell (this computer was offline).
    bool unknown = false;
    // The last watch's, when it had them.
    std::optional<std::chrono::microseconds> responseTime;
    std::optional<int64_t> pageBytes;
    std::optional<std::chrono::system_clock::time_point> certificateExpiry;
    std::optional<ResultTime> lastWatch;
    // An outage goes on (outage mode only).
    bool outage = false;
    int64_t upResults = 0;
    int64_t downResults = 0;
    int64_t unknownResults = 0;
};

// Takes the status of a watch that has just come to a result.
void CountWatchEnd(WatchMetrics& metrics, const WatchStatus& ended);

}  // namespace corvasse

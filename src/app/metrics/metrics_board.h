#pragma once
// The metrics of a process's watches, kept where the watches report their
// results and read where the scrapes are answered: the two meet only for
// the moment it takes to copy the values, so a scrape never waits for a
// watch, nor a watch for a scrape.

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "app/metrics/watch_metrics.h"

namespace corvasse {

struct WatchStatus;

class MetricsBoard {
public:
    // The watches the process runs (their names and addresses): a new one
    // is listed without results, one that is gone is dropped.
    void SetWatches(const std::vector<WatchStatus>& watches);
    // A watch came to a result. One whose address changed starts its
    // metrics afresh: they are another series.
    void WatchEnded(const WatchStatus& ended);
    // Whether an outage of the watch goes on (outage mode).
    void SetOutage(const std::string& name, bool outage);

    // The text of every watch's metrics (metrics_text.h), by name.
    std::string Text() const;

private:
    WatchMetrics& Listed(const std::string& name, const std::string& address);

    mutable std::mutex mutex_;
    std::map<std::string, WatchMetrics> watches_;
};

}  // namespace corvasse

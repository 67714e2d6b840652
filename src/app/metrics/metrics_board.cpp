#include "app/metrics/metrics_board.h"

#include <set>

#include "app/metrics/metrics_text.h"
#include "app/monitor/version.h"
#include "app/monitor/watch_set.h"

namespace corvasse {

WatchMetrics& MetricsBoard::Listed(const std::string& name, const std::string& address) {
    WatchMetrics& metrics = watches_[name];
    if (metrics.name.empty() || metrics.address != address) {
        // The outage is the watch's whatever its address: the view tells of
        // it before the result that ends the watch.
        const bool outage = metrics.outage;
        metrics = WatchMetrics();
        metrics.name = name;
        metrics.address = address;
        metrics.outage = outage;
    }
    return metrics;
}

void MetricsBoard::SetWatches(const std::vector<WatchStatus>& watches) {
    std::set<std::string> names;
    const std::lock_guard lock(mutex_);
    for (const WatchStatus& watch : watches) {
        names.insert(watch.name);
        Listed(watch.name, watch.address);
    }
    std::erase_if(watches_, [&](const auto& entry) { return !names.contains(entry.first); });
}

void MetricsBoard::WatchEnded(const WatchStatus& ended) {
    const std::lock_guard lock(mutex_);
    CountWatchEnd(Listed(ended.name, ended.address), ended);
}

void MetricsBoard::SetOutage(const std::string& name, bool outage) {
    const std::lock_guard lock(mutex_);
    if (const auto found = watches_.find(name); found != watches_.end()) found->second.outage = outage;
}

std::string MetricsBoard::Text() const {
    std::vector<WatchMetrics> copy;
    {
        const std::lock_guard lock(mutex_);
        copy.reserve(watches_.size());
        for (const auto& [name, metrics] : watches_) copy.push_back(metrics);
    }
    return MetricsText(copy, kVersion);
}

}  // namespace corvasse

#include "app/metrics/watch_metrics.h"

#include "app/monitor/watch_set.h"

namespace corvasse {

void CountWatchEnd(WatchMetrics& metrics, const WatchStatus& ended) {
    switch (ended.last) {
        case LastResult::Up:
            metrics.up = true;
            ++metrics.upResults;
            break;
        case LastResult::Down:
            metrics.up = false;
            ++metrics.downResults;
            break;
        case LastResult::Offline:
        case LastResult::Unknown: ++metrics.unknownResults; break;
    }
    metrics.unknown = ended.last == LastResult::Offline || ended.last == LastResult::Unknown;
    metrics.responseTime = ended.responseTime;
    metrics.pageBytes = ended.size;
    metrics.certificateExpiry = ended.certificateExpiry;
    metrics.lastWatch = ended.lastTime;
}

}  // namespace corvasse

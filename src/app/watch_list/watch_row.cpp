#include "app/watch_list/watch_row.h"

#include "common/date_time_text.h"

namespace corvasse {

namespace {

std::string HourMinuteOf(ResultTime time) {
    using namespace std::chrono;
    return HourMinuteText(system_clock::to_time_t(time_point_cast<seconds>(time)));
}

}  // namespace

std::string WatchStateText(const WatchStatus& status) {
    if (!status.watching) return "Not watching";
    switch (status.last) {
        case LastResult::Unknown: return "Unknown";
        case LastResult::Offline: return "Offline";
        case LastResult::Down:
            return "Down since " + HourMinuteOf(status.downSince.value_or(status.lastTime.value_or(ResultTime{})));
        case LastResult::Up: break;
    }
    return "Up";
}

WatchRow MakeWatchRow(const WatchStatus& status, const std::string& dayUptime) {
    WatchRow row{status.name, status.address, WatchStateText(status), "", dayUptime, ""};
    if (status.watching && status.last != LastResult::Unknown && status.responseTime) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*status.responseTime);
        row.responseTime = std::to_string(ms.count()) + " ms";
    }
    if (status.watching && status.next) row.nextRun = HourMinuteOf(*status.next);
    return row;
}

}  // namespace corvasse

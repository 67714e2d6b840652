#include "app/watch_list/watch_row.h"

#include "common/date_time_text.h"

namespace corvasse {

namespace {

std::string HourMinuteOf(ResultTime time) {
    return HourMinuteText(
        std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::seconds>(time)));
}

}  // namespace

std::string WatchStateText(const WatchRowFacts& facts) {
    if (!facts.watching) return "Not watching";
    if (!facts.last) return "Unknown";
    switch (facts.last->state) {
        case ResultState::Unknown: return "Offline";
        case ResultState::Down: return "Down since " + HourMinuteOf(facts.downSince.value_or(facts.last->time));
        case ResultState::Up: break;
    }
    return "Up";
}

WatchRow MakeWatchRow(const WatchRowFacts& facts) {
    WatchRow row{facts.name, facts.address, WatchStateText(facts), "", facts.dayUptime, ""};
    if (facts.watching && facts.last && facts.last->responseTime) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*facts.last->responseTime);
        row.responseTime = std::to_string(ms.count()) + " ms";
    }
    if (facts.watching && facts.nextRun) row.nextRun = HourMinuteOf(*facts.nextRun);
    return row;
}

}  // namespace corvasse

#include "app/watch_list/tray_tip.h"

#include "common/date_time_text.h"

namespace corvasse {

namespace {

std::string SinceText(ResultTime time) {
    using namespace std::chrono;
    return "since " + HourMinuteText(system_clock::to_time_t(time_point_cast<seconds>(time)));
}

}  // namespace

std::string TrayTipText(std::string_view appName, const std::vector<WatchStatus>& watches) {
    std::vector<const WatchStatus*> running;
    for (const WatchStatus& watch : watches) {
        if (watch.watching) running.push_back(&watch);
    }
    std::string tip(appName);
    if (running.empty()) return tip;
    if (running.size() == 1) {
        const WatchStatus& watch = *running.front();
        return tip + ": " + watch.address + (watch.downSince ? " down " + SinceText(*watch.downSince) : " up");
    }
    std::string down;
    int downCount = 0;
    for (const WatchStatus* watch : running) {
        if (!watch->downSince) continue;
        down += (downCount++ == 0 ? ": " : ", ") + watch->name + " " + SinceText(*watch->downSince);
    }
    tip += ": " + std::to_string(running.size()) + " watches, ";
    return downCount == 0 ? tip + "all up" : tip + std::to_string(downCount) + " down" + down;
}

}  // namespace corvasse

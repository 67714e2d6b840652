#include "app/watch_cycle.h"

#include <cstdint>
#include <string>

#include "app/form_fields.h"
#include "app/interval_timer.h"
#include "app/monitor_view.h"
#include "app/tick_boxes.h"
#include "app/watch_interval.h"
#include "app/watch_runner.h"
#include "common/byte_string.h"

namespace corvasse {

WatchCycle::WatchCycle(const FormFields& form, MonitorView& view, const TickBoxes& boxes, IntervalTimer& timer,
                       WatchRunner& runner)
    : form_(form), view_(view), boxes_(boxes), timer_(timer), runner_(runner) {}

void WatchCycle::StartWatching() {
    view_.ClearStatusLines();
    // The text is converted before the timer is touched: a bad interval must not
    // leave the timer ticking at whatever interval it had.
    const std::chrono::milliseconds interval =
        WatchInterval(form_.Text(Field::txtWatchFreq), form_.Text(Field::txtIntervalSeconds));
    timer_.SetEnabled(true);
    timer_.SetInterval(static_cast<uint32_t>(interval.count()));
    view_.SetStatusText("Timer set to " + std::to_string(timer_.Interval()) + " millisecond interval.");
    runner_.RunWatch();
}

void WatchCycle::StopWatching() {
    timer_.SetEnabled(false);
    // The texts come after the cut watch's last events, or these would hide them.
    runner_.CutWatch([this] {
        view_.SetStatusText("Watching process stopped...");
        view_.SetProgressPosition(0);
    });
}

void WatchCycle::TimerTick() {
    if (boxes_.AnyOpen()) return;
    runner_.RunWatch();
}

void WatchCycle::AbortConnection() {
    runner_.CutWatch([this] {
        view_.SetStatusText("Connection Aborted...");
        view_.RepaintStatusBar();
    });
}

}  // namespace corvasse

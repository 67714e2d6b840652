#pragma once
// When the watch timer's ticks fall, known beyond the timer's own thread:
// the watch cycle arms and disarms the timer through ScheduledTimer, which
// keeps the schedule in step, and a watch on its worker thread reads from the
// schedule when the next one runs.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "app/watch/interval_timer.h"
#include "core/wall_clock.h"

namespace corvasse {

class WatchSchedule {
public:
    // From any thread: the first tick after now; none while the timer is off
    // or ticks never (interval 0).
    std::optional<ResultTime> NextTickAfter(ResultTime now) const;

    // From any thread: when the timer was last switched on (in this
    // process); none before. A new interval leaves it as it was.
    std::optional<ResultTime> Resumed() const;

    // The timer's period began at start: a tick falls each interval after it.
    void Start(ResultTime start, std::chrono::milliseconds interval);
    void Stop();

private:
    mutable std::mutex mutex_;
    std::optional<ResultTime> start_;
    std::optional<ResultTime> resumed_;
    std::chrono::milliseconds interval_{0};
};

// The status bar's second panel in outage mode: "Next watch at 14:04:07",
// the first tick after now; none while no tick is to come.
std::optional<std::string> NextWatchText(const WatchSchedule& schedule, ResultTime now);

// A watch timer that keeps a schedule: whenever its period starts afresh
// (enabled, or given another interval while enabled) the schedule starts at
// the clock's time; disabled, the schedule stops.
class ScheduledTimer : public IntervalTimer {
public:
    // Both must outlive this object.
    ScheduledTimer(IntervalTimer& timer, WatchSchedule& schedule, WallClock clock = SystemTime);

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return timer_.Enabled(); }
    void SetInterval(uint32_t intervalMs) override;
    uint32_t Interval() const override { return timer_.Interval(); }

private:
    IntervalTimer& timer_;
    WatchSchedule& schedule_;
    WallClock clock_;
};

}  // namespace corvasse

#include "app/watch/watch_schedule.h"

#include "common/date_time_text.h"

namespace corvasse {

std::optional<ResultTime> WatchSchedule::NextTickAfter(ResultTime now) const {
    std::lock_guard lock(mutex_);
    if (!start_ || interval_ <= std::chrono::milliseconds::zero()) return std::nullopt;
    if (now < *start_) return *start_ + interval_;
    return *start_ + ((now - *start_) / interval_ + 1) * interval_;
}

std::optional<ResultTime> WatchSchedule::Resumed() const {
    std::lock_guard lock(mutex_);
    return resumed_;
}

std::optional<std::string> NextWatchText(const WatchSchedule& schedule, ResultTime now) {
    const std::optional<ResultTime> next = schedule.NextTickAfter(now);
    if (!next) return std::nullopt;
    return "Next watch at " + TimeOfDayText(std::chrono::system_clock::to_time_t(*next));
}

void WatchSchedule::Start(ResultTime start, std::chrono::milliseconds interval) {
    std::lock_guard lock(mutex_);
    if (!start_) resumed_ = start;
    start_ = start;
    interval_ = interval;
}

void WatchSchedule::Stop() {
    std::lock_guard lock(mutex_);
    start_.reset();
}

ScheduledTimer::ScheduledTimer(IntervalTimer& timer, WatchSchedule& schedule, WallClock clock)
    : timer_(timer), schedule_(schedule), clock_(std::move(clock)) {}

void ScheduledTimer::SetEnabled(bool enabled) {
    const bool starts = enabled && !timer_.Enabled();
    timer_.SetEnabled(enabled);
    if (!enabled) {
        schedule_.Stop();
    } else if (starts) {
        schedule_.Start(clock_(), std::chrono::milliseconds(timer_.Interval()));
    }
}

void ScheduledTimer::SetInterval(uint32_t intervalMs) {
    const bool starts = timer_.Enabled() && intervalMs != timer_.Interval();
    timer_.SetInterval(intervalMs);
    if (starts) schedule_.Start(clock_(), std::chrono::milliseconds(intervalMs));
}

}  // namespace corvasse

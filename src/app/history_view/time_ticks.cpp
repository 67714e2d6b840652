#include "app/history_view/time_ticks.h"

#include <ctime>

namespace corvasse {

namespace {

enum class TickUnit { Minutes, Days, Months };

struct TickStep {
    TickUnit unit;
    int count;
};

TickStep StepOf(HistoryRange range) {
    switch (range) {
        case HistoryRange::Hour: return {TickUnit::Minutes, 10};
        case HistoryRange::SixHours: return {TickUnit::Minutes, 60};
        case HistoryRange::Day: return {TickUnit::Minutes, 180};
        case HistoryRange::Week:
        case HistoryRange::Month: return {TickUnit::Days, 1};
        case HistoryRange::Year: break;
    }
    return {TickUnit::Months, 1};
}

// Of the days, 30 days marks the 1st, 6th, ... 26th of each month.
bool Marked(HistoryRange range, const std::tm& local) {
    return range != HistoryRange::Month || (local.tm_mday % 5 == 1 && local.tm_mday < 31);
}

// The local wall-clock time, rounded down to a whole step.
std::tm RoundedDown(std::time_t time, TickStep step) {
    std::tm local{};
    ::localtime_r(&time, &local);
    local.tm_sec = 0;
    if (step.unit == TickUnit::Minutes) {
        const int minutes = local.tm_hour * 60 + local.tm_min;
        local.tm_hour = 0;
        local.tm_min = minutes - minutes % step.count;
        return local;
    }
    local.tm_hour = local.tm_min = 0;
    if (step.unit == TickUnit::Months) local.tm_mday = 1;
    return local;
}

// The moment of the wall-clock fields, which it normalizes (a minute past 59
// counts on), with the time zone's offset of that moment, summer time or not.
ResultTime MomentOf(std::tm& local) {
    local.tm_isdst = -1;
    return std::chrono::time_point_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::from_time_t(std::mktime(&local)));
}

}  // namespace

std::vector<ResultTime> TimeTicks(HistoryRange range, TimeRange span) {
    const TickStep step = StepOf(range);
    std::tm tick = RoundedDown(std::chrono::system_clock::to_time_t(span.from), step);
    int& field = step.unit == TickUnit::Minutes ? tick.tm_min
                 : step.unit == TickUnit::Days  ? tick.tm_mday
                                                : tick.tm_mon;
    std::vector<ResultTime> ticks;
    for (ResultTime moment = MomentOf(tick); moment < span.to; moment = MomentOf(tick)) {
        // A wall-clock time that the change to or from summer time repeats is marked once.
        if (moment >= span.from && Marked(range, tick) && (ticks.empty() || moment > ticks.back())) {
            ticks.push_back(moment);
        }
        field += step.count;
    }
    return ticks;
}

}  // namespace corvasse

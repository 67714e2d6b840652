#include "common/suspend_clock.h"

#include <time.h>

namespace corvasse {

namespace {

std::chrono::nanoseconds Read(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

class KernelSuspendClock : public SuspendClock {
public:
    std::chrono::nanoseconds TimeSuspended() const override { return Read(CLOCK_BOOTTIME) - Read(CLOCK_MONOTONIC); }
};

}  // namespace

const SuspendClock& SystemSuspendClock() {
    static const KernelSuspendClock clock;
    return clock;
}

}  // namespace corvasse

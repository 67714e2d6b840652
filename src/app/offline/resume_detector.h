#pragma once
// Tells a watch whether this computer slept since the watch before it: the
// time it has spent suspended (common/suspend_clock.h) grew.

#include <chrono>
#include <optional>

#include "common/suspend_clock.h"

namespace corvasse {

// Less than this is the two clocks read a moment apart, not a sleep.
inline constexpr std::chrono::seconds kShortestSleep{1};

class ResumeDetector {
public:
    // The clock must outlive this object.
    explicit ResumeDetector(const SuspendClock& clock);

    // True when the computer slept since the last call; false at the first.
    bool SleptSinceLastCheck();

private:
    const SuspendClock& clock_;
    std::optional<std::chrono::nanoseconds> lastSuspended_;
};

}  // namespace corvasse

#pragma once
// How long this computer has been suspended since it started: the gap
// between CLOCK_BOOTTIME, which goes on counting while the computer sleeps,
// and CLOCK_MONOTONIC, which stops. The gap grows only across a sleep.

#include <chrono>

namespace corvasse {

class SuspendClock {
public:
    virtual ~SuspendClock() = default;
    virtual std::chrono::nanoseconds TimeSuspended() const = 0;
};

// The system's clocks; one object for the whole process.
const SuspendClock& SystemSuspendClock();

}  // namespace corvasse

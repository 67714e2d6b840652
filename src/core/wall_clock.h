#pragma once
// The clock that stamps watch results and tells when the next watch runs;
// tests pass their own, so that a day of watches takes no time.

#include <chrono>
#include <functional>

#include "core/history_records.h"

namespace corvasse {

using WallClock = std::function<ResultTime()>;

// The system's clock, in whole milliseconds.
inline ResultTime SystemTime() {
    return std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now());
}

}  // namespace corvasse

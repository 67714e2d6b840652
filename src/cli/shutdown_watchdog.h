#pragma once
// Makes sure a shutdown ends the process in time. Once the process abort is
// raised (by a signal, or by the watchdog itself when its deadline passes),
// every network wait gives up and the program winds down on its own. A call
// that cannot watch the abort - a name lookup inside the system's resolver,
// a send to a peer that stopped reading - could still hold it, so after a
// grace period the watchdog's last word ends the process instead.

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <thread>

#include "common/wake_up_event.h"

namespace corvasse {

// How long a program may wind down after a shutdown was asked for.
inline constexpr std::chrono::milliseconds kShutdownGrace{500};

class ShutdownWatchdog {
public:
    using Clock = std::chrono::steady_clock;

    // With a deadline, the watchdog raises the abort itself when it passes.
    // lastWord runs on the watchdog's thread and must end the process
    // (_exit); it never runs once Disarm was called.
    ShutdownWatchdog(std::optional<Clock::time_point> deadline, std::chrono::milliseconds grace,
                     std::function<void()> lastWord);
    // Disarms.
    ~ShutdownWatchdog();
    ShutdownWatchdog(const ShutdownWatchdog&) = delete;
    ShutdownWatchdog& operator=(const ShutdownWatchdog&) = delete;

    // Leaves the ending to the caller. When the last word has already begun,
    // this never returns: the last word ends the process.
    void Disarm();

private:
    void Watch();

    std::optional<Clock::time_point> deadline_;
    std::chrono::milliseconds grace_;
    std::function<void()> lastWord_;
    WakeUpEvent stop_;
    // Whoever sets it first ends the process: the caller or the last word.
    std::atomic<bool> claimed_{false};
    std::thread thread_;
};

}  // namespace corvasse

#pragma once
// The plugin's time-out without a thread of its own. When the deadline
// passes, a timer signal raises the process abort, so that every network
// wait gives up and the check winds down on its own; a call that cannot watch
// the abort could still hold it, so after the grace period a second signal
// writes the last word to standard output and ends the process. A watchdog
// thread would do the same at the cost of starting a thread in every check,
// a tenth of a small page's whole check.

#include <chrono>
#include <string>

#include <time.h>

namespace corvasse {

class SignalDeadline {
public:
    // Arms the deadline; one may be armed at a time. lastWord is written and
    // the process ends with exitCode once the grace after the deadline has
    // passed too.
    SignalDeadline(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds grace,
                   std::string lastWord, int exitCode);
    // Disarms.
    ~SignalDeadline();
    SignalDeadline(const SignalDeadline&) = delete;
    SignalDeadline& operator=(const SignalDeadline&) = delete;

    // Leaves the ending to the caller: no signal comes after this.
    void Disarm();

private:
    timer_t timer_{};
    bool armed_ = false;
};

}  // namespace corvasse

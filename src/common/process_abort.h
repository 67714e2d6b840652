#pragma once
// One process-wide request to give up: once raised (by a signal handler that
// shuts the program down, or when a check runs out of time) every network
// wait ends at once with AbortedError, now and for the rest of the process.
// The waits of a thread that runs under an abort signal of its own
// (common/abort_signal.h) end the same way when that signal is raised.
//
//     signal handler:   RaiseProcessAbort();
//     a wait:           PollUnlessAborted(fds, deadline);
//
// AbortedError deliberately stands outside the std::exception family: the
// watch turns every error of a fetch into an alert and every error of a ping
// into an error line, and handlers catch every std::exception to report it.
// An abort is none of those; it passes through all of them up to the front
// end that asked for it.

#include <chrono>
#include <optional>
#include <span>

#include <poll.h>

namespace corvasse {

class AbortedError {
public:
    const char* what() const noexcept { return "Aborted."; }
};

// Raises the abort. Async-signal-safe; raising it again changes nothing.
void RaiseProcessAbort() noexcept;

// True once the abort was raised.
bool ProcessAbortRaised() noexcept;

// A descriptor that becomes readable when the abort is raised and stays so,
// for waits that poll; -1 when the system gave none (the flag still works).
int ProcessAbortDescriptor() noexcept;

// Throws AbortedError once the process abort or the calling thread's abort
// signal was raised.
void ThrowIfProcessAborted();

// Waits as PollUntil (common/posix_io.h) does, and also ends when the process
// abort or the calling thread's abort signal is raised meanwhile (or was
// before): then it throws AbortedError, whatever else became ready.
int PollUnlessAborted(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline);

}  // namespace corvasse

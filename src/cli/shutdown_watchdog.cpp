#include "cli/shutdown_watchdog.h"

#include <cerrno>
#include <initializer_list>
#include <system_error>
#include <vector>

#include "common/posix_io.h"
#include "common/process_abort.h"

namespace corvasse {

namespace {

// Waits until one of the descriptors is readable or the time is up (none:
// no limit); false when the time is up. A wait that fails counts as readable,
// so that a watchdog that cannot wait does nothing.
bool WaitReadable(std::initializer_list<int> descriptors, std::optional<ShutdownWatchdog::Clock::time_point> until) {
    std::vector<pollfd> fds;
    for (int fd : descriptors) fds.push_back({fd, POLLIN, 0});
    return PollUntil(fds, until) != 0;
}

}  // namespace

ShutdownWatchdog::ShutdownWatchdog(std::optional<Clock::time_point> deadline, std::chrono::milliseconds grace,
                                   std::function<void()> lastWord)
    : deadline_(deadline), grace_(grace), lastWord_(std::move(lastWord)) {
    if (!stop_.Valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
    thread_ = std::thread([this] { Watch(); });
}

ShutdownWatchdog::~ShutdownWatchdog() { Disarm(); }

void ShutdownWatchdog::Disarm() {
    if (!thread_.joinable()) return;
    claimed_.exchange(true);
    stop_.Raise();
    // When the last word runs, this waits for the end of the process.
    thread_.join();
}

void ShutdownWatchdog::Watch() {
    if (!WaitReadable({ProcessAbortDescriptor(), stop_.Descriptor()}, deadline_)) RaiseProcessAbort();
    if (WaitReadable({stop_.Descriptor()}, Clock::now() + grace_)) return;
    if (!claimed_.exchange(true)) lastWord_();
}

}  // namespace corvasse

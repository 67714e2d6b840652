#include "cli/shutdown_watchdog.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <system_error>
#include <vector>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include "common/process_abort.h"

namespace corvasse {

namespace {

// Waits until one of the descriptors is readable or the time is up (none:
// no limit); false when the time is up. A wait that fails counts as readable,
// so that a watchdog that cannot wait does nothing.
bool WaitReadable(std::initializer_list<int> descriptors, std::optional<ShutdownWatchdog::Clock::time_point> until) {
    std::vector<pollfd> fds;
    for (int fd : descriptors) fds.push_back({fd, POLLIN, 0});
    for (;;) {
        int waitMs = -1;
        if (until) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(*until - ShutdownWatchdog::Clock::now());
            waitMs = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
        }
        const int ready = poll(fds.data(), fds.size(), waitMs);
        if (ready == 0) return false;
        if (ready > 0 || errno != EINTR) return true;
    }
}

}  // namespace

ShutdownWatchdog::ShutdownWatchdog(std::optional<Clock::time_point> deadline, std::chrono::milliseconds grace,
                                   std::function<void()> lastWord)
    : deadline_(deadline), grace_(grace), lastWord_(std::move(lastWord)) {
    stop_ = eventfd(0, EFD_CLOEXEC);
    if (stop_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    thread_ = std::thread([this] { Watch(); });
}

ShutdownWatchdog::~ShutdownWatchdog() {
    Disarm();
    close(stop_);
}

void ShutdownWatchdog::Disarm() {
    if (!thread_.joinable()) return;
    claimed_.exchange(true);
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);
    // When the last word runs, this waits for the end of the process.
    thread_.join();
}

void ShutdownWatchdog::Watch() {
    if (!WaitReadable({ProcessAbortDescriptor(), stop_}, deadline_)) RaiseProcessAbort();
    if (WaitReadable({stop_}, Clock::now() + grace_)) return;
    if (!claimed_.exchange(true)) lastWord_();
}

}  // namespace corvasse

#include "common/process_abort.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

#include <sys/eventfd.h>
#include <unistd.h>

#include "common/posix_io.h"

namespace corvasse {

namespace {

// Both are lock-free, so a signal handler may use them.
constinit std::atomic<bool> raised{false};
constinit std::atomic<int> descriptor{-1};

int CreateDescriptor() noexcept {
    static const int created = [] {
        const int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        descriptor.store(fd);
        return fd;
    }();
    return created;
}

// Made before main, so that no wait adds a descriptor to the process later
// (tests count them) and a signal handler never meets a half-made one.
[[maybe_unused]] const int madeAtStart = CreateDescriptor();

}  // namespace

void RaiseProcessAbort() noexcept {
    raised.store(true);
    const int fd = descriptor.load();
    if (fd >= 0) {
        // Never read back: the descriptor stays readable for every waiter.
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(fd, &one, sizeof one);
    }
}

bool ProcessAbortRaised() noexcept { return raised.load(); }

int ProcessAbortDescriptor() noexcept { return CreateDescriptor(); }

void ThrowIfProcessAborted() {
    if (ProcessAbortRaised()) throw AbortedError();
}

int PollUnlessAborted(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline) {
    ThrowIfProcessAborted();
    std::vector<pollfd> watched(fds.begin(), fds.end());
    watched.push_back({ProcessAbortDescriptor(), POLLIN, 0});
    const int ready = PollUntil(watched, deadline);
    if ((watched.back().revents & POLLIN) != 0) ThrowIfProcessAborted();
    std::copy(watched.begin(), watched.end() - 1, fds.begin());
    return ready;
}

}  // namespace corvasse

#include "common/posix_io.h"

#include <algorithm>
#include <climits>

#include <unistd.h>

#include "common/fiber_pool.h"

namespace corvasse {

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = RetryOnInterrupt([&] { return ::write(fd, data.data(), data.size()); });
        if (written < 0) return false;
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool ReadToEnd(int fd, std::string& out) {
    char buffer[65536];
    for (;;) {
        const ssize_t count = RetryOnInterrupt([&] { return ::read(fd, buffer, sizeof buffer); });
        if (count < 0) return false;
        if (count == 0) return true;
        out.append(buffer, static_cast<size_t>(count));
    }
}

int PollUntil(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline) {
    // A job of a FiberPool leaves its thread to the pool's other jobs meanwhile.
    if (const std::optional<int> ready = PollInFiber(fds, deadline)) return *ready;
    for (;;) {
        int waitMs = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now());
            waitMs = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT_MAX));
        }
        const int ready = ::poll(fds.data(), fds.size(), waitMs);
        if (ready != -1 || errno != EINTR) return ready;
    }
}

}  // namespace corvasse

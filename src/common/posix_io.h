#pragma once
// System calls that a signal may interrupt (errno EINTR), made whole again:
// the program installs handlers for SIGTERM, SIGINT and SIGHUP, so any slow
// call can return early without having failed.
//
//     const ssize_t n = RetryOnInterrupt([&] { return ::recv(fd, buffer, size, 0); });
//     if (PollUntil(fds, Clock::now() + 100ms) == 0) ...time is up...

#include <cerrno>
#include <chrono>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include <poll.h>

namespace corvasse {

// Calls call() again for as long as it returns -1 with errno EINTR, and
// returns its first other result (errno as the call left it).
template <typename Call>
auto RetryOnInterrupt(Call&& call) -> decltype(call()) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

// Writes all of data, in as many writes as it takes. false, with errno,
// when a write fails.
bool WriteAll(int fd, std::string_view data);

// Appends what the descriptor holds up to its end to out. false, with errno,
// when a read fails (out then keeps what was read before).
bool ReadToEnd(int fd, std::string& out);

// poll() until one of fds is ready or the deadline passes (none: no limit).
// An interrupted poll goes on for the time that is left, rounded up to whole
// milliseconds, so that the wait never ends before the deadline. Returns
// poll's result: how many entries are ready, 0 when the time is up, or -1
// with errno.
int PollUntil(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline);

}  // namespace corvasse

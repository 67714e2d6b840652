#pragma once
// Runs jobs as fibers on a fixed set of threads: the watches of every
// settings file share one pool, so that a thousand watches need neither a
// thousand threads nor a thousand blocked waits. Each job runs on a stack of
// its own; when it waits on descriptors (PollUntil, common/posix_io.h, and
// every wait above it) its thread runs the other jobs meanwhile, and polls
// the descriptors of all its waiting jobs together. Jobs start in the order
// they were submitted; a job stays on the thread that started it.
//
// What a thread keeps for the code running on it follows the job across its
// waits: the abort signal (common/abort_signal.h), errno, and the exceptions
// being handled (a job may wait inside a catch block, for a box to close).
// A job that blocks in a call other than a wait (a disk write, a sleep, a
// lock another job of the same thread holds) holds up its thread's jobs.
//
//     FiberPool pool(kWatchThreads);
//     pool.Submit([&] { client.Get(url); });  // its waits let the other jobs run

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include <poll.h>

#include "common/file_descriptor.h"

namespace corvasse {

// The threads a program's watches share. A waiting watch holds no thread, so
// the threads carry only the work between waits (TLS handshakes, parsing)
// and the calls that still block (history writes, the activity log's
// fsync): four let three threads go on while a slow disk holds one, and stay
// far below the program's thread budget.
inline constexpr unsigned kWatchThreads = 4;

// The stack of one job, beside a guard page that turns an overflow into a
// crash; it is mapped when the job is submitted and unmapped when it ends.
// Pages a job never touches cost no memory: the deepest watch measured (over
// HTTPS, mailing its alert through STARTTLS) reached 68 KiB below the top,
// most of it a file read's 64 KiB buffer (84 KiB with AddressSanitizer), and
// left 16 KiB of it resident.
inline constexpr size_t kFiberStackBytes = 256 * 1024;

class FiberPool {
public:
    // At least one thread.
    explicit FiberPool(unsigned threads);
    // Runs every job submitted so far to its end, waiting for those that
    // wait, then ends the threads. Not from one of its jobs.
    ~FiberPool();
    FiberPool(const FiberPool&) = delete;
    FiberPool& operator=(const FiberPool&) = delete;

    // From any thread, a job of the pool included. An exception that leaves
    // the job ends the program. Throws std::bad_alloc when the system gives
    // no memory for the job's stack.
    void Submit(std::function<void()> job);

private:
    struct Fiber;
    class Scheduler;
    friend bool InFiberPoolJob() noexcept;
    friend std::optional<int> PollInFiber(std::span<pollfd> fds,
                                          std::optional<std::chrono::steady_clock::time_point> deadline);

    // The oldest job not yet started, if any; and whether the threads may end
    // once their jobs have (ending, and no job is left to start).
    std::unique_ptr<Fiber> TakeJob(bool& ending);

    std::mutex mutex_;
    std::deque<std::unique_ptr<Fiber>> jobs_;
    bool ending_ = false;
    // Readable while jobs_ holds a job, or once the pool is ending.
    FileDescriptor wake_;
    std::vector<std::thread> threads_;
};

// Whether the caller is a job of a FiberPool.
bool InFiberPoolJob() noexcept;

// Inside a job of a FiberPool: waits as poll() would (fds' revents filled,
// the count of ready entries, 0 once the deadline passed, or -1 with errno)
// while the thread runs its other jobs. Outside every job: nullopt, having
// done nothing.
std::optional<int> PollInFiber(std::span<pollfd> fds, std::optional<std::chrono::steady_clock::time_point> deadline);

}  // namespace corvasse

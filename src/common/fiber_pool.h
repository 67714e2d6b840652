#pragma once
// Runs jobs on a fixed set of threads, however many there are: the watches
// of every settings file share one pool, so that a thousand watches do not
// need a thousand threads. Jobs start in the order they were submitted.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace corvasse {

// The threads a program's watches share.
inline constexpr unsigned kWatchThreads = 4;

class FiberPool {
public:
    // At least one thread.
    explicit FiberPool(unsigned threads);
    // Runs every job submitted so far to its end, then ends the threads.
    ~FiberPool();
    FiberPool(const FiberPool&) = delete;
    FiberPool& operator=(const FiberPool&) = delete;

    // From any thread. An exception that leaves the job ends the program.
    void Submit(std::function<void()> job);

private:
    void Work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace corvasse

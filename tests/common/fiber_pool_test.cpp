#include "common/fiber_pool.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <span>
#include <stdexcept>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/abort_signal.h"
#include "common/file_descriptor.h"
#include "common/posix_io.h"
#include "common/process_abort.h"

namespace corvasse {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Long enough for a busy machine; only a fault ever waits this long.
constexpr auto kPatience = std::chrono::seconds(30);

struct Pipe {
    Pipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            read = FileDescriptor(ends[0]);
            write = FileDescriptor(ends[1]);
        }
    }
    void Release() const { WriteAll(write.Get(), "x"); }
    FileDescriptor read;
    FileDescriptor write;
};

// Writes to every pipe when it goes, so that no wait outlives a failed test
// (made after the pool, so that it goes first).
struct ReleaseOnExit {
    std::span<Pipe> pipes;
    ~ReleaseOnExit() {
        for (const Pipe& pipe : pipes) pipe.Release();
    }
};

// Waits without limit until the pipe has something to read.
int AwaitPipe(const Pipe& pipe) {
    pollfd readable{pipe.read.Get(), POLLIN, 0};
    return PollUnlessAborted({&readable, 1}, std::nullopt);
}

// Counts what jobs report, for the test's thread to wait on.
class Tally {
public:
    void Add() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    // false when the count is still short after kPatience.
    bool AwaitAtLeast(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kPatience, [&] { return count_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int count_ = 0;
};

TEST(FiberPoolTest, FarMoreWaitingJobsThanThreadsAllWaitAtOnce) {
    constexpr int kJobs = 200;
    std::vector<Pipe> pipes(kJobs);
    std::vector<Tally> ended(kJobs);
    Tally started;
    std::vector<int> results(kJobs, -2);
    FiberPool pool(2);
    ReleaseOnExit releaseOnExit{pipes};
    for (int i = 0; i < kJobs; ++i) {
        pool.Submit([&, i] {
            started.Add();
            results[i] = AwaitPipe(pipes[i]);
            ended[i].Add();
        });
    }
    ASSERT_TRUE(started.AwaitAtLeast(kJobs)) << "every job reaches its wait";
    for (int i = kJobs - 1; i >= 0; --i) {
        pipes[i].Release();
        ASSERT_TRUE(ended[i].AwaitAtLeast(1)) << "job " << i << " ends once its pipe is written";
        EXPECT_EQ(results[i], 1);
    }
}

TEST(FiberPoolTest, AWaitAnswersAsPollDoes) {
    struct Case {
        const char* name;
        // Sets the entries up over a fresh pipe; may close an end.
        std::function<std::vector<pollfd>(Pipe&)> entries;
        milliseconds timeout;
    };
    const Case cases[] = {
        {"readable",
         [](Pipe& pipe) {
             pipe.Release();
             return std::vector<pollfd>{{pipe.read.Get(), POLLIN, 0}};
         },
         milliseconds(0)},
        {"time-out",
         [](Pipe& pipe) {
             return std::vector<pollfd>{{pipe.read.Get(), POLLIN, 0}};
         },
         milliseconds(150)},
        {"no entries", [](Pipe&) { return std::vector<pollfd>{}; }, milliseconds(150)},
        {"writable, and one entry passed over",
         [](Pipe& pipe) {
             return std::vector<pollfd>{{-1, POLLIN, 0}, {pipe.write.Get(), POLLOUT | POLLIN, 0}};
         },
         milliseconds(0)},
        {"one descriptor asked twice",
         [](Pipe& pipe) {
             pipe.Release();
             return std::vector<pollfd>{{pipe.read.Get(), POLLOUT, 0}, {pipe.read.Get(), POLLIN, 0}};
         },
         milliseconds(150)},
        {"peer closed",
         [](Pipe& pipe) {
             pipe.write.Close();
             return std::vector<pollfd>{{pipe.read.Get(), POLLIN, 0}};
         },
         milliseconds(0)},
        {"closed descriptor",
         [](Pipe& pipe) {
             const int closed = pipe.write.Get();
             pipe.write.Close();
             return std::vector<pollfd>{{closed, POLLOUT, 0}};
         },
         milliseconds(0)},
    };
    FiberPool pool(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pipe direct;
        std::vector<pollfd> expected = c.entries(direct);
        const int expectedCount = ::poll(expected.data(), expected.size(), static_cast<int>(c.timeout.count()));

        Pipe inJob;
        std::vector<pollfd> entries = c.entries(inJob);
        int count = -2;
        Clock::duration waited{};
        Tally ended;
        pool.Submit([&] {
            const auto start = Clock::now();
            count = PollUntil(entries, start + c.timeout);
            waited = Clock::now() - start;
            ended.Add();
        });
        ASSERT_TRUE(ended.AwaitAtLeast(1));
        EXPECT_EQ(count, expectedCount);
        ASSERT_EQ(entries.size(), expected.size());
        for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].revents, expected[i].revents) << i;
        if (count == 0) {
            EXPECT_GE(waited, c.timeout) << "never before the deadline";
        }
    }
}

TEST(FiberPoolTest, AnAbortEndsOnlyTheWaitOfTheJobWhoseSignalItIs) {
    AbortSignal signals[2];
    Pipe pipes[2];
    int results[2] = {-2, -2};
    bool aborted[2] = {false, false};
    Tally started;
    Tally ended;
    FiberPool pool(1);
    ReleaseOnExit releaseOnExit{pipes};
    for (int i = 0; i < 2; ++i) {
        pool.Submit([&, i] {
            AbortSignalScope scope(&signals[i]);
            started.Add();
            try {
                results[i] = AwaitPipe(pipes[i]);
            } catch (const AbortedError&) {
                aborted[i] = true;
            }
            ended.Add();
        });
    }
    ASSERT_TRUE(started.AwaitAtLeast(2));
    signals[0].Raise();
    ASSERT_TRUE(ended.AwaitAtLeast(1));
    EXPECT_TRUE(aborted[0]);
    EXPECT_EQ(results[1], -2) << "the other job still waits";
    pipes[1].Release();
    ASSERT_TRUE(ended.AwaitAtLeast(2));
    EXPECT_FALSE(aborted[1]);
    EXPECT_EQ(results[1], 1);
}

TEST(FiberPoolTest, WhatTheThreadKeepsFollowsEachJobAcrossItsWaits) {
    struct Case {
        const char* name;
        // What the job finds when it starts: nothing of another job's.
        std::function<bool()> clean;
        // Sets job's own, waits, and tells whether the job's own is still there.
        std::function<bool(int job, const std::function<void()>& wait)> keeps;
    };
    AbortSignal signals[2];
    const Case cases[] = {
        {"abort signal", [] { return ThreadAbortSignal() == nullptr; },
         [&](int job, const std::function<void()>& wait) {
             AbortSignalScope scope(&signals[job]);
             wait();
             return ThreadAbortSignal() == &signals[job];
         }},
        {"exception being handled", [] { return std::current_exception() == nullptr; },
         [](int job, const std::function<void()>& wait) {
             try {
                 throw job;
             } catch (int) {
                 wait();
                 try {
                     throw;
                 } catch (int thrown) {
                     return thrown == job;
                 }
             }
             return false;
         }},
        {"errno", [] { return true; },
         [](int job, const std::function<void()>& wait) {
             errno = 1000 + job;
             wait();
             return errno == 1000 + job;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pipe pipes[2];
        bool clean[2] = {false, false};
        bool kept[2] = {false, false};
        Tally started;
        Tally ended;
        {
            FiberPool pool(1);
            for (int job = 0; job < 2; ++job) {
                pool.Submit([&, job] {
                    clean[job] = c.clean();
                    kept[job] = c.keeps(job, [&] {
                        started.Add();
                        AwaitPipe(pipes[job]);
                    });
                    ended.Add();
                });
            }
            // Both wait at once on the one thread; the first is let go first.
            EXPECT_TRUE(started.AwaitAtLeast(2));
            pipes[0].Release();
            EXPECT_TRUE(ended.AwaitAtLeast(1));
            pipes[1].Release();
        }
        EXPECT_TRUE(clean[0] && clean[1]);
        EXPECT_TRUE(kept[0]);
        EXPECT_TRUE(kept[1]);
    }
}

TEST(FiberPoolTest, JobsThatNeverWaitRunInTheOrderSubmitted) {
    std::vector<int> order;
    {
        FiberPool pool(1);
        for (int i = 0; i < 50; ++i) pool.Submit([&order, i] { order.push_back(i); });
    }
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<size_t>(i)], i);
}

TEST(FiberPoolTest, TheEndWaitsForEveryJobStillWaiting) {
    constexpr int kJobs = 20;
    std::atomic<int> ended{0};
    Tally started;
    {
        FiberPool pool(2);
        for (int i = 0; i < kJobs; ++i) {
            pool.Submit([&] {
                started.Add();
                PollUntil({}, Clock::now() + milliseconds(200));
                ++ended;
            });
        }
        ASSERT_TRUE(started.AwaitAtLeast(kJobs));
    }
    EXPECT_EQ(ended, kJobs);
}

TEST(FiberPoolDeathTest, AnExceptionLeavingAJobEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            FiberPool pool(1);
            pool.Submit([] { throw std::runtime_error("lost"); });
        },
        "");
}

}  // namespace
}  // namespace corvasse

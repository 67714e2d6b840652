#include "common/fiber_pool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <thread>
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

struct Pipe {
    Pipe() {
        int ends[2];
        EXPECT_EQ(pipe2(ends, O_CLOEXEC), 0);
        read = FileDescriptor(ends[0]);
        write = FileDescriptor(ends[1]);
    }
    void Open() const { WriteAll(write.Get(), "x"); }
    FileDescriptor read, write;
};

// false when done() still fails after long enough for a busy machine.
bool Eventually(const std::function<bool()>& done) {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (!done() && Clock::now() < end) std::this_thread::sleep_for(milliseconds(1));
    return done();
}

using Wait = std::function<int()>;

// Runs job(i, wait) for i below `jobs` on `threads` threads; wait() waits on
// pipe i. Once every job waits, lets them go in turn (letGo, or by writing
// their pipe): each ends then, and no other.
void RunWaitingJobs(int jobs, unsigned threads, const std::function<void(int, const Wait&)>& job,
                    const std::function<void(int)>& letGo = nullptr) {
    std::vector<Pipe> pipes(static_cast<size_t>(jobs));
    std::vector<std::atomic<bool>> ended(static_cast<size_t>(jobs));
    std::atomic<int> waiting{0}, endedCount{0};
    FiberPool pool(threads);
    // Goes before the pool does: no job waits on past a failed test.
    const std::unique_ptr<std::vector<Pipe>, void (*)(std::vector<Pipe>*)> openAtExit(&pipes, [](auto* all) {
        for (const Pipe& pipe : *all) pipe.Open();
    });
    for (int i = 0; i < jobs; ++i) {
        pool.Submit([&, i] {
            job(i, [&] {
                ++waiting;
                pollfd readable{pipes[i].read.Get(), POLLIN, 0};
                return PollUnlessAborted({&readable, 1}, std::nullopt);
            });
            ended[i] = true;
            ++endedCount;
        });
    }
    ASSERT_TRUE(Eventually([&] { return waiting == jobs; })) << "every job waits at once";
    for (int i = 0; i < jobs; ++i) {
        letGo ? letGo(i) : pipes[i].Open();
        ASSERT_TRUE(Eventually([&] { return endedCount > i; })) << "job " << i;
        EXPECT_TRUE(ended[i]) << "job " << i;
        EXPECT_EQ(endedCount, i + 1) << "the others still wait";
    }
}

TEST(FiberPoolTest, FarMoreWaitingJobsThanThreadsAllWaitAtOnce) {
    RunWaitingJobs(200, 2, [](int, const Wait& wait) { EXPECT_EQ(wait(), 1); });
}

TEST(FiberPoolTest, AWaitAnswersAsPollDoes) {
    enum End { Read, Write, None };
    struct Case {
        const char* name;
        bool written, writeEndClosed;  // the write end's number then stands for a closed descriptor
        std::vector<std::pair<End, short>> entries;
        int timeoutMs;
    };
    const Case cases[] = {
        {"time-out", false, false, {{Read, POLLIN}}, 150},
        {"writable, one entry passed over", false, false, {{None, POLLIN}, {Write, POLLOUT | POLLIN}}, 0},
        {"one descriptor asked twice", true, false, {{Read, POLLOUT}, {Read, POLLIN}}, 150},
        {"peer closed", false, true, {{Read, POLLIN}}, 0},
        {"closed descriptor", false, true, {{Write, POLLOUT}}, 0},
    };
    const auto setUp = [](const Case& c, Pipe& pipe) {
        if (c.written) pipe.Open();
        std::vector<pollfd> fds;
        for (const auto& [end, events] : c.entries) {
            fds.push_back({end == None ? -1 : end == Read ? pipe.read.Get() : pipe.write.Get(), events, 0});
        }
        if (c.writeEndClosed) pipe.write.Close();
        return fds;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pipe direct, inJob;
        std::vector<pollfd> expected = setUp(c, direct);
        const int expectedCount = ::poll(expected.data(), expected.size(), c.timeoutMs);
        std::vector<pollfd> fds = setUp(c, inJob);
        int count = -2;
        Clock::duration waited{};
        FiberPool(1).Submit([&] {
            const auto start = Clock::now();
            count = PollUntil(fds, start + milliseconds(c.timeoutMs));
            waited = Clock::now() - start;
        });
        EXPECT_EQ(count, expectedCount);
        for (size_t i = 0; i < fds.size(); ++i) EXPECT_EQ(fds[i].revents, expected[i].revents) << i;
        EXPECT_TRUE(count != 0 || waited >= milliseconds(c.timeoutMs)) << "never before the deadline";
    }
}

TEST(FiberPoolTest, WhatTheThreadKeepsFollowsEachJobAcrossItsWaits) {
    AbortSignal signals[2];
    struct Case {
        const char* name;
        // Whether the job finds nothing of another's, sets its own, waits and still has its own.
        std::function<bool(int job, const Wait& wait)> keeps;
        std::function<void(int job)> letGo;  // none: the job's pipe is written
    };
    const Case cases[] = {
        {"abort signal, raised to end the wait",
         [&](int job, const Wait& wait) {
             const bool clean = ThreadAbortSignal() == nullptr;
             AbortSignalScope scope(&signals[job]);
             try {
                 wait();
             } catch (const AbortedError&) {
                 return clean && ThreadAbortSignal() == &signals[job];
             }
             return false;
         },
         [&](int job) { signals[job].Raise(); }},
        {"exception being handled",
         [](int job, const Wait& wait) {
             const bool clean = std::current_exception() == nullptr;
             try {
                 throw job;
             } catch (int) {
                 const std::exception_ptr mine = std::current_exception();
                 wait();
                 return clean && std::current_exception() == mine;
             }
         },
         nullptr},
        {"errno",
         [](int job, const Wait& wait) {
             errno = 1000 + job;
             wait();
             return errno == 1000 + job;
         },
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool kept[2] = {false, false};
        RunWaitingJobs(
            2, 1, [&](int job, const Wait& wait) { kept[job] = c.keeps(job, wait); }, c.letGo);
        EXPECT_TRUE(kept[0] && kept[1]);
    }
}

TEST(FiberPoolTest, TheEndRunsEveryJobToItsEnd) {
    for (const bool waits : {false, true}) {
        SCOPED_TRACE(waits ? "jobs waiting when the end comes" : "jobs that never wait");
        constexpr int kJobs = 20;
        std::vector<int> started, ended;
        {
            FiberPool pool(1);
            for (int i = 0; i < kJobs; ++i) {
                pool.Submit([&, i] {
                    started.push_back(i);
                    if (waits) PollUntil({}, Clock::now() + milliseconds(200));
                    ended.push_back(i);
                });
            }
        }
        EXPECT_TRUE(started.size() == kJobs && std::is_sorted(started.begin(), started.end()))
            << "in the order submitted";
        EXPECT_EQ(ended.size(), started.size()) << "all ended when the pool was gone";
    }
}

}  // namespace
}  // namespace corvasse

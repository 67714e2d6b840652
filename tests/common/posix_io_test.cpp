#include "common/posix_io.h"

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/file_descriptor.h"
#include "common/process_abort.h"

namespace corvasse {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Interrupts one thread with a signal every few milliseconds for as long as
// it lives. The handler is installed without SA_RESTART, so every slow call
// the thread is in returns EINTR, as it does with the program's own handlers.
class Interrupter {
public:
    explicit Interrupter(pthread_t target) : target_(target) {
        static const bool installed = [] {
            struct sigaction action {};
            action.sa_handler = [](int) {};
            sigemptyset(&action.sa_mask);
            return sigaction(SIGUSR1, &action, nullptr) == 0;
        }();
        EXPECT_TRUE(installed);
        thread_ = std::thread([this] {
            while (!stop_) {
                pthread_kill(target_, SIGUSR1);
                std::this_thread::sleep_for(milliseconds(5));
            }
        });
    }
    ~Interrupter() {
        stop_ = true;
        thread_.join();
    }

private:
    pthread_t target_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Pipe {
    Pipe() {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) == 0) {
            read = FileDescriptor(ends[0]);
            write = FileDescriptor(ends[1]);
        }
    }
    FileDescriptor read;
    FileDescriptor write;
};

TEST(PosixIoTest, ReadsAndWritesWholeThroughInterruptions) {
    // More than a pipe holds, so that both sides block and get interrupted.
    std::string payload(1 << 20, '\0');
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
    Pipe pipe;
    ASSERT_TRUE(pipe.read.Valid());
    std::string received;
    bool readOk = false;
    std::thread reader([&] {
        Interrupter interrupts(pthread_self());
        std::this_thread::sleep_for(milliseconds(50));
        readOk = ReadToEnd(pipe.read.Get(), received);
    });
    {
        Interrupter interrupts(pthread_self());
        EXPECT_TRUE(WriteAll(pipe.write.Get(), payload));
    }
    pipe.write.Close();
    reader.join();
    EXPECT_TRUE(readOk);
    EXPECT_TRUE(received == payload) << received.size() << " of " << payload.size() << " bytes";

    // Failures report errno.
    std::string out = "kept";
    EXPECT_FALSE(ReadToEnd(pipe.write.Get(), out));
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(out, "kept");
    EXPECT_FALSE(WriteAll(pipe.read.Get(), "x"));
    EXPECT_EQ(errno, EBADF);
}

TEST(PosixIoTest, PollKeepsItsDeadlineThroughInterruptions) {
    Pipe pipe;
    pollfd readable{pipe.read.Get(), POLLIN, 0};
    {
        Interrupter interrupts(pthread_self());
        const auto start = Clock::now();
        EXPECT_EQ(PollUntil({&readable, 1}, start + milliseconds(300)), 0);
        EXPECT_GE(Clock::now() - start, milliseconds(300)) << "never ends before the deadline";
    }

    // Without a deadline it waits for the descriptor alone.
    std::thread writer([&] {
        std::this_thread::sleep_for(milliseconds(150));
        WriteAll(pipe.write.Get(), "x");
    });
    const auto start = Clock::now();
    EXPECT_EQ(PollUntil({&readable, 1}, std::nullopt), 1);
    EXPECT_GE(Clock::now() - start, milliseconds(140));
    EXPECT_NE(readable.revents & POLLIN, 0);
    writer.join();
    EXPECT_EQ(PollUntil({&readable, 1}, Clock::now() - milliseconds(1)), 1) << "a past deadline still looks once";
}

// Waits without limit while another thread raises the abort; exits 3 when
// that wait and a later one both end with AbortedError.
[[noreturn]] void WaitThroughAnAbort() {
    Pipe pipe;
    pollfd readable{pipe.read.Get(), POLLIN, 0};
    std::thread raiser([] {
        std::this_thread::sleep_for(milliseconds(100));
        RaiseProcessAbort();
    });
    int status = 1;
    try {
        PollUnlessAborted({&readable, 1}, std::nullopt);
    } catch (const AbortedError&) {
        raiser.join();
        try {
            PollUnlessAborted({&readable, 1}, std::nullopt);
        } catch (const AbortedError&) {
            status = 3;
        }
    }
    _exit(status);
}

TEST(PosixIoDeathTest, RaisedAbortEndsEveryWaitWithoutLimit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // In a child process: the abort lasts for the rest of the process.
    EXPECT_EXIT(WaitThroughAnAbort(), ::testing::ExitedWithCode(3), "");
}

}  // namespace
}  // namespace corvasse

#pragma once
// The window's thread, played by the test: posted calls wait until the test
// runs them.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "app/monitor/window_thread.h"

namespace corvasse::test {

class TestWindowThread : public WindowThread {
public:
    void Post(std::function<void()> call) override {
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(call));
        }
        posted_.notify_all();
    }

    // Runs the posted calls as they come until done() holds (asked after
    // each call and every few milliseconds) or limit has passed; done()'s
    // last answer.
    bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() >= end) return false;
            std::unique_lock lock(mutex_);
            if (!posted_.wait_for(lock, std::chrono::milliseconds(5), [this] { return !calls_.empty(); })) continue;
            std::function<void()> call = std::move(calls_.front());
            calls_.pop_front();
            lock.unlock();
            call();
        }
        return true;
    }

    // Runs what comes for a while, to see that nothing more happens.
    void RunFor(std::chrono::milliseconds span) {
        RunUntil([] { return false; }, span);
    }

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<std::function<void()>> calls_;
};

}  // namespace corvasse::test

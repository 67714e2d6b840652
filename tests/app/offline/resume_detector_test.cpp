// Wake-up detection over a clock the test winds on.

#include <chrono>

#include <gtest/gtest.h>

#include "app/offline/resume_detector.h"

namespace corvasse {
namespace {

using namespace std::chrono_literals;

struct SteppedClock : SuspendClock {
    std::chrono::nanoseconds suspended{5s};
    std::chrono::nanoseconds TimeSuspended() const override { return suspended; }
};

TEST(ResumeDetectorTest, ASleepIsSeenOnceByTheCheckAfterIt) {
    SteppedClock clock;
    ResumeDetector detector(clock);
    const struct {
        std::chrono::nanoseconds step;
        bool slept;
    } steps[] = {
        {0s, false},     // the first check has nothing to compare with
        {0s, false},     // awake all along
        {900ms, false},  // the clocks read a moment apart, not a sleep
        {1h, true},      // a night's sleep
        {0s, false},     // told once
        {2s, true},      // a short one counts too
    };
    for (const auto& s : steps) {
        clock.suspended += s.step;
        EXPECT_EQ(detector.SleptSinceLastCheck(), s.slept) << s.step.count();
    }
}

}  // namespace
}  // namespace corvasse

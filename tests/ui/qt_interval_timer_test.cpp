#include "ui/qt_interval_timer.h"

#include <chrono>
#include <thread>

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

// Runs the event loop for the given time.
void RunEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

class QtIntervalTimerTest : public ::testing::Test {
protected:
    void SetUp() override { test::TestApp(); }
};

TEST_F(QtIntervalTimerTest, TicksAtTheIntervalOnlyWhileEnabled) {
    QtIntervalTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(40);
    RunEventsFor(120);
    EXPECT_EQ(ticks, 0);
    timer.SetEnabled(true);
    RunEventsFor(150);
    EXPECT_GE(ticks, 2);
    EXPECT_LE(ticks, 4);
    timer.SetEnabled(false);
    int stopped = ticks;
    RunEventsFor(100);
    EXPECT_EQ(ticks, stopped);
}

TEST_F(QtIntervalTimerTest, ZeroIntervalArmsNoTick) {
    QtIntervalTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(0);
    timer.SetEnabled(true);
    RunEventsFor(100);
    EXPECT_EQ(ticks, 0);
    EXPECT_TRUE(timer.Enabled());
}

TEST_F(QtIntervalTimerTest, SameIntervalKeepsTheScheduleADifferentOneRestartsIt) {
    QtIntervalTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(100);
    timer.SetEnabled(true);
    RunEventsFor(60);
    timer.SetEnabled(true);
    timer.SetInterval(100);  // unchanged: the tick stays due 40 ms from now
    RunEventsFor(70);
    EXPECT_EQ(ticks, 1);

    RunEventsFor(60);  // the next tick is due in about 70 ms
    timer.SetInterval(150);  // restarts: due 150 ms from now
    RunEventsFor(100);
    EXPECT_EQ(ticks, 1);
}

TEST_F(QtIntervalTimerTest, TicksMissedWhileBusyDoNotPileUp) {
    QtIntervalTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] {
        if (++ticks == 1) std::this_thread::sleep_for(std::chrono::milliseconds(230));  // a long blocking watch
    };
    timer.SetInterval(50);
    timer.SetEnabled(true);
    RunEventsFor(80);  // first tick at 50 ms blocks until about 280 ms
    EXPECT_EQ(ticks, 1);
    RunEventsFor(20);  // one late tick follows at once, not four
    EXPECT_EQ(ticks, 2);
}

TEST_F(QtIntervalTimerTest, IntervalsBeyondQtTimerRangeAreKept) {
    QtIntervalTimer timer;
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetInterval(4294907296u);
    timer.SetEnabled(true);
    EXPECT_EQ(timer.Interval(), 4294907296u);
    RunEventsFor(50);
    EXPECT_EQ(ticks, 0);
}

}  // namespace
}  // namespace corvasse

#include "ui/qt_interval_timer.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>
#include <QElapsedTimer>

#include "ui/qt_test_app.h"

namespace corvasse {
namespace {

// Runs the event loop for the given time.
void RunEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// A timer that counts its ticks.
class QtIntervalTimerTest : public test::QtTest {
protected:
    QtIntervalTimerTest() {
        timer.OnTimer = [this] { ++ticks; };
    }

    // Runs the event loop until count ticks have come, three seconds at most.
    void RunEventsUntilTicks(int count) {
        QElapsedTimer clock;
        clock.start();
        while (ticks < count && clock.elapsed() < 3000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
    }

    QtIntervalTimer timer;
    int ticks = 0;
};

TEST_F(QtIntervalTimerTest, TicksAtTheIntervalOnlyWhileEnabled) {
    timer.SetInterval(40);
    RunEventsFor(120);
    EXPECT_EQ(ticks, 0);
    timer.SetEnabled(true);
    QElapsedTimer clock;
    clock.start();
    RunEventsUntilTicks(3);
    EXPECT_EQ(ticks, 3);
    EXPECT_GE(clock.elapsed(), 3 * 40 - 5);  // not sooner than three periods
    timer.SetEnabled(false);
    int stopped = ticks;
    RunEventsFor(100);
    EXPECT_EQ(ticks, stopped);
}

TEST_F(QtIntervalTimerTest, AZeroIntervalOrOneBeyondQtTimersRangeArmsNoEarlyTick) {
    for (const uint32_t interval : {0u, 4294907296u}) {
        SCOPED_TRACE(interval);
        timer.SetInterval(interval);
        timer.SetEnabled(true);
        EXPECT_EQ(timer.Interval(), interval);
        RunEventsFor(100);
        EXPECT_EQ(ticks, 0);
        EXPECT_TRUE(timer.Enabled());
        timer.SetEnabled(false);
    }
}

TEST_F(QtIntervalTimerTest, SameIntervalKeepsTheScheduleADifferentOneRestartsIt) {
    // Every moment tested lies at least 150 ms from a tick, so that a busy
    // machine's late wake-ups cannot move a tick across it.
    timer.SetInterval(500);
    timer.SetEnabled(true);
    RunEventsFor(300);
    timer.SetEnabled(true);
    timer.SetInterval(500);  // unchanged: the tick stays due 200 ms from now
    RunEventsFor(350);
    EXPECT_EQ(ticks, 1);

    RunEventsFor(200);       // the next tick is due in about 150 ms
    timer.SetInterval(750);  // restarts: due 750 ms from now
    RunEventsFor(500);
    EXPECT_EQ(ticks, 1);
}

TEST_F(QtIntervalTimerTest, TicksMissedWhileBusyDoNotPileUp) {
    constexpr int kIntervalMs = 100;
    QElapsedTimer sinceBusy;
    timer.OnTimer = [&] {
        if (++ticks == 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(4 * kIntervalMs + 50));  // a long blocking watch
            sinceBusy.start();
        }
    };
    timer.SetInterval(kIntervalMs);
    timer.SetEnabled(true);
    RunEventsUntilTicks(2);
    ASSERT_EQ(ticks, 2) << "one late tick follows the long one";
    // The four periods missed while busy do not come as a burst: beyond the late
    // tick only those falling due since then (the next one within a period) may have run.
    EXPECT_LE(ticks, 3 + sinceBusy.elapsed() / kIntervalMs);
    RunEventsFor(kIntervalMs / 2);
    EXPECT_LE(ticks, 3 + sinceBusy.elapsed() / kIntervalMs);
}

}  // namespace
}  // namespace corvasse

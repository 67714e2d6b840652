#include "ui/qt_interval_timer.h"

#include <algorithm>
#include <limits>

namespace corvasse {

QtIntervalTimer::QtIntervalTimer(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    clock_.start();
    connect(&timer_, &QTimer::timeout, this, &QtIntervalTimer::Expired);
}

void QtIntervalTimer::SetEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    if (enabled_) {
        Restart();
    } else {
        timer_.stop();
    }
}

void QtIntervalTimer::SetInterval(uint32_t intervalMs) {
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    if (enabled_) Restart();
}

void QtIntervalTimer::Restart() {
    timer_.stop();
    if (interval_ == 0) return;  // no periodic tick
    dueMs_ = Now() + interval_;
    Arm();
}

void QtIntervalTimer::Arm() {
    const int64_t remaining = std::max<int64_t>(0, dueMs_ - Now());
    timer_.start(static_cast<int>(std::min<int64_t>(remaining, std::numeric_limits<int>::max())));
}

void QtIntervalTimer::Expired() {
    if (!enabled_ || interval_ == 0) return;
    const int64_t now = Now();
    if (now < dueMs_) {  // a long interval still runs in steps
        Arm();
        return;
    }
    // The next tick is due one period on; periods missed while the thread was
    // busy are skipped, so at most one late tick follows a long watch.
    dueMs_ += interval_;
    while (dueMs_ <= now) dueMs_ += interval_;
    Arm();
    if (OnTimer) OnTimer();
}

}  // namespace corvasse

#pragma once
// The watch timer on Qt. QTimer holds at most 2^31-1 ms, while the watch
// interval is an unsigned 32-bit count of milliseconds, so the timer keeps
// its own deadline and re-arms a single-shot QTimer in steps that fit.

#include <cstdint>
#include <functional>

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include "app/watch/interval_timer.h"

namespace corvasse {

class QtIntervalTimer : public QObject, public IntervalTimer {
    Q_OBJECT
public:
    explicit QtIntervalTimer(QObject* parent = nullptr);

    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }
    void SetInterval(uint32_t intervalMs) override;
    uint32_t Interval() const override { return interval_; }

    // Runs at every tick.
    std::function<void()> OnTimer;

private:
    void Restart();
    void Arm();
    void Expired();
    int64_t Now() const { return clock_.elapsed(); }

    QTimer timer_;
    QElapsedTimer clock_;
    bool enabled_ = false;
    uint32_t interval_ = 1000;
    int64_t dueMs_ = 0;  // on clock_, when the next tick is due
};

}  // namespace corvasse

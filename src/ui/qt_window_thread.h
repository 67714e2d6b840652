#pragma once
// The window's thread on Qt: calls posted from any thread wait in a queue of
// their own and run in the event loop, in the order they were posted. The
// queue's own lock hands each call over, so that tools which check threads
// (ThreadSanitizer) see the hand-over even though Qt itself is not built
// for them. Calls still queued when this object goes are dropped.

#include <deque>
#include <functional>
#include <mutex>

#include <QObject>

#include "app/monitor/window_thread.h"

namespace corvasse {

class QtWindowThread : public QObject, public WindowThread {
    Q_OBJECT
public:
    explicit QtWindowThread(QObject* parent = nullptr) : QObject(parent) {}

    void Post(std::function<void()> call) override;

private:
    // Runs the calls queued so far, one at a time (a call may open a box
    // whose event loop runs the next ones). Invoked by name, so that Qt
    // makes the event inside its own library.
    Q_INVOKABLE void RunQueued();

    std::mutex mutex_;
    std::deque<std::function<void()>> queued_;
};

}  // namespace corvasse

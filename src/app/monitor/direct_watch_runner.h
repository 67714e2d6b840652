#pragma once
// Runs each watch at once on the calling thread: the service, whose one
// thread takes no command while a watch runs.

#include <functional>

#include "app/monitor/watch_runner.h"

namespace corvasse {

class Dialogs;
class Watch;
struct WatchOutcome;
struct WatchState;

class DirectWatchRunner : public WatchRunner {
public:
    // All must outlive this object; boxes show the error box of a watch
    // that failed, state is the watch's.
    DirectWatchRunner(Watch& watch, Dialogs& boxes, WatchState& state) : watch_(watch), boxes_(boxes), state_(state) {}

    // The watch, inside the handler guard, then ended when it came to a
    // result. AbortedError passes to the caller.
    void RunWatch() override;
    void OnWatchEnded(std::function<void(const WatchOutcome&)> ended) { ended_ = std::move(ended); }
    // No watch runs while the caller's thread is here: then runs at once.
    void CutWatch(std::function<void()> then) override { then(); }

private:
    Watch& watch_;
    Dialogs& boxes_;
    WatchState& state_;
    std::function<void(const WatchOutcome&)> ended_;
};

}  // namespace corvasse

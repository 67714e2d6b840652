#pragma once
// Runs each watch at once on the calling thread: the service, whose one
// thread takes no command while a watch runs.

#include "app/monitor/watch_runner.h"

namespace corvasse {

class Dialogs;
class Watch;

class DirectWatchRunner : public WatchRunner {
public:
    // Both must outlive this object; boxes show the error box of a watch
    // that failed.
    DirectWatchRunner(Watch& watch, Dialogs& boxes) : watch_(watch), boxes_(boxes) {}

    // The watch, inside the handler guard. AbortedError passes to the caller.
    void RunWatch() override;
    // No watch runs while the caller's thread is here: then runs at once.
    void CutWatch(std::function<void()> then) override { then(); }

private:
    Watch& watch_;
    Dialogs& boxes_;
};

}  // namespace corvasse

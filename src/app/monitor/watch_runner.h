#pragma once
// Where the watch cycle's watches run: at once on the caller's thread (the
// service), or on the watch pool beside the window, which stays free to
// show what the watch reports and to take "Abort Connection" and "Stop
// Watching" while the watch waits on the network.

#include <functional>

namespace corvasse {

class WatchRunner {
public:
    virtual ~WatchRunner() = default;

    // Runs one watch with the form as it stands now: at once, or when the
    // running watch has ended. One watch at most waits; asking again while
    // one waits gives it the form as it stands then. An error that leaves the
    // watch (the alert delivery's, the log's) goes to the error box.
    virtual void RunWatch() = 0;

    // Cuts the running watch: its network wait ends at once, and it sends no
    // alert, writes no report and is not counted. The waiting watch, if any,
    // is dropped. then runs on the caller's thread once everything the cut
    // watch reported has been shown (at once when none runs).
    virtual void CutWatch(std::function<void()> then) = 0;
};

}  // namespace corvasse

#pragma once
// The watch cycle: Start arms the interval timer and runs a watch at once,
// every tick of the timer runs one more, Stop disarms the timer, and "Abort
// Connection" cuts the running watch. Where the watches run is the
// runner's affair (app/watch_runner.h); the cycle itself runs on the
// window's thread.

namespace corvasse {

class FormFields;
class IntervalTimer;
class MonitorView;
class TickBoxes;
class WatchRunner;

class WatchCycle {
public:
    // Every object must outlive this one. boxes are the boxes that watches
    // open, so that ticks falling due while one is open can be skipped.
    WatchCycle(const FormFields& form, MonitorView& view, const TickBoxes& boxes, IntervalTimer& timer,
               WatchRunner& runner);

    // "Start &Watching": clears the pane, arms the timer with the form's
    // interval (in seconds when the form holds them, else in minutes) and runs
    // one watch at once (after the running one, when one runs). Throws
    // ConversionError for minutes that are not a whole number and
    // WatchIntervalError for minutes out of range or seconds that are not a
    // whole number in range, leaving the timer as it was.
    void StartWatching();

    // "Stop Watching": disarms the timer and cuts the running watch, then
    // says so on the status bar and empties the progress bar.
    void StopWatching();

    // A tick of the interval timer: one watch. Skipped while a box that a
    // watch opened (the HTTPS refusal, the error box of a failed watch) is
    // still open.
    void TimerTick();

    // "&Abort Connection": cuts the running watch's exchange; the next tick
    // runs as usual.
    void AbortConnection();

private:
    const FormFields& form_;
    MonitorView& view_;
    const TickBoxes& boxes_;
    IntervalTimer& timer_;
    WatchRunner& runner_;
};

}  // namespace corvasse

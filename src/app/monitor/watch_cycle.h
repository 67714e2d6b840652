#pragma once
// The watch cycle: Start arms the interval timer and runs a watch at once,
// every tick of the timer runs one more, Stop disarms the timer, and "Abort
// Connection" cuts the running watch. Where the watches run is the
// runner's affair (app/monitor/watch_runner.h); the cycle itself runs on the
// window's thread.

namespace corvasse {

class FormFields;
class IntervalTimer;
class MonitorView;
class SettingsStore;
class TickBoxes;
class WatchRunner;
class WatchSchedule;

class WatchCycle {
public:
    // Every object must outlive this one. boxes are the boxes that watches
    // open, so that ticks falling due while one is open can be skipped;
    // schedule is the one timer keeps.
    WatchCycle(FormFields& form, MonitorView& view, const TickBoxes& boxes, IntervalTimer& timer, WatchRunner& runner,
               const SettingsStore& settings, const WatchSchedule& schedule);

    // "Start &Watching": clears the pane, reads "intervalSeconds" from the
    // settings file afresh (it is set by hand) and shows it in the form, arms
    // the timer with that interval in seconds, or else with the form's
    // minutes, and runs one watch at once (after the running one, when one
    // runs). Throws RegistryError, ConversionError for minutes that are not a
    // whole number and WatchIntervalError for minutes out of range or seconds
    // that are not a whole number in range, leaving the timer as it was.
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
    // In outage mode the status bar's second panel tells when the next watch
    // runs: it follows every change of the schedule, and is empty while no
    // watch is to come. Without outage mode the watch count stays. Outage
    // mode as settings say.
    void ShowNextWatch(const SettingsStore& settings);

    FormFields& form_;
    MonitorView& view_;
    const TickBoxes& boxes_;
    IntervalTimer& timer_;
    WatchRunner& runner_;
    const SettingsStore& settings_;
    const WatchSchedule& schedule_;
};

}  // namespace corvasse

#pragma once
// The watch cycle: Start arms the interval timer and runs a watch at once,
// every tick runs one web watch (fetch and content check, alert on failure)
// or one ping watch, and counts itself on the status bar.

#include <cstdint>
#include <string>

#include "app/tick_boxes.h"

namespace corvasse {

class ActivityLog;
class AlertSender;
class Dialogs;
class FormFields;
class IntervalTimer;
class MonitorView;
class PingClient;
class SettingsStore;
class WebClient;
struct WatchState;

// Connect time-out of every fetch, in milliseconds.
inline constexpr int kWatchConnectTimeoutMs = 120000;

class WatchCycle {
public:
    WatchCycle(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, SettingsStore& settings,
               ActivityLog& log, WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state);

    // "Start &Watching": clears the pane, arms the timer with the form's
    // interval in minutes and runs one tick at once. Throws ConversionError for
    // an interval that is not a whole number, leaving the timer as it was.
    void StartWatching();

    // "Stop Watching": disarms the timer.
    void StopWatching();

    // One watch. Errors of the alert delivery and of the log pass to the caller.
    // The setting "allowHttps" ("y") lets https:// addresses through to the
    // client instead of refusing them with a message box; "ipFamily" keeps
    // the fetch or the ping to one address family.
    void Tick();

    // A tick of the interval timer: one watch, whose escaping error goes to
    // the error box. Skipped while a box that a tick opened (that error box,
    // or the HTTPS refusal) is still open.
    void TimerTick();

    // "&Abort Connection": closes the HTTP connection.
    void AbortConnection();

private:
    void RunPingWatch();
    void RunWebWatch();
    void CheckContent();

    FormFields& form_;
    MonitorView& view_;
    TickBoxes boxes_;
    IntervalTimer& timer_;
    SettingsStore& settings_;
    ActivityLog& log_;
    WebClient& web_;
    PingClient& pinger_;
    AlertSender& alert_;
    WatchState& state_;
};

}  // namespace corvasse

#pragma once
// The watch as a service without a window: the values the settings form
// loads on show, watching started at once as "Start Watching" does, every
// status-pane line on one stream and every message box on another. The
// event loop, the timer and the signals are the caller's (headless_loop.h).

#include <cstdio>
#include <filesystem>

#include "app/monitor/monitor.h"
#include "app/monitor/watch_set.h"
#include "app/settings/form_values.h"
#include "app/view/handler_guard.h"
#include "cli/console_dialogs.h"
#include "cli/console_view.h"

namespace corvasse {

class IntervalTimer;
class MetricsBoard;

// Whether a tick reads the settings file again first.
enum class SettingsReload { None, First };

class HeadlessService {
public:
    // The timer must outlive the service; its ticks are to be passed to
    // Timer1Timer. Pane lines go to lines, messages to messages. With
    // metrics (which must outlive the service too), the watch is named
    // after its settings file there and each of its results is told to it.
    HeadlessService(const MonitorFiles& files, IntervalTimer& timer, std::FILE* lines, std::FILE* messages,
                    MetricsBoard* metrics = nullptr);

    // Loads the settings and starts watching; the first watch runs now. False
    // when watching could not start (an unreadable settings file, an interval
    // that is not a whole number or - "corvasse: " before the message - one
    // outside 0..35791); the message says why. Throws AbortedError.
    bool Start();

    // One tick of the timer. With SettingsReload::First the settings are read
    // again before it, which a line says ("Settings read again from FILE"),
    // and watching starts afresh with them, as "Start Watching" would (a
    // changed interval counts from now); a settings file that cannot be read
    // is reported and the settings in use are kept.
    // Errors go to the messages and watching goes on. Throws AbortedError.
    void Timer1Timer(SettingsReload reload);

private:
    void StartWatching();
    // The form was loaded: the metrics take the address it watches.
    void Loaded();

    std::filesystem::path settingsFile_;
    IntervalTimer& timer_;
    FormValues form_;
    ConsoleView view_;
    ConsoleDialogs dialogs_;
    HandlerGuard guard_;
    Monitor monitor_;
    MetricsBoard* metrics_;
    // What the metrics are told of the watch.
    WatchStatus status_;
};

}  // namespace corvasse

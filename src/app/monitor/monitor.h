#pragma once
// Everything the main window owns that is not a widget: the settings store,
// the activity log, the network components and the monitor's behaviour
// (settings form, watch cycle, alert delivery, connection event reporting).
// The window gives it the form fields, the view, the dialogs and the timer,
// and forwards its buttons, menus and timer to it.

#include <filesystem>
#include <functional>
#include <memory>

#include "app/view/activity_log.h"
#include "history/history_store.h"

namespace corvasse {

class ActivityLog;
class Dialogs;
class FiberPool;
class FormFields;
class IntervalTimer;
class MonitorView;
class SettingsForm;
class SettingsStore;
class WatchCycle;
class WatchSchedule;
class WindowThread;
struct WatchOutcome;
struct WatchResult;
struct WatchState;

// Where the monitor keeps its settings, its activity log and the history of
// its results.
struct MonitorFiles {
    std::filesystem::path settings;
    // A relative name lives in the working directory at the time of each access.
    std::filesystem::path log = kActivityLogFileName;
    std::filesystem::path history = HistoryStore::DefaultFile();

    // Corvasse.conf in the folder, the log in the working directory and the
    // history in the user's state folder.
    static MonitorFiles InFolder(const std::filesystem::path& settingsFolder);
};

class Monitor {
public:
    // Watches run on the calling thread, inside the cycle's calls (the
    // service).
    Monitor(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, const MonitorFiles& files);
    // Watches run on pool, beside other monitors' watches; what they show
    // reaches the window through windowThread, in order (the window).
    Monitor(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, WindowThread& windowThread,
            FiberPool& pool, const MonitorFiles& files);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    SettingsStore& Settings();
    ActivityLog& Log();
    SettingsForm& Form();
    WatchCycle& Cycle();
    // "Send Test" (app/alert/test_mail.h) where the watches run: at once, or
    // on the watches' thread after the running watch.
    void SendTestMail();
    // Written by the watches; read it between them.
    const WatchState& State() const;
    // When the watches run; from any thread.
    const WatchSchedule& Schedule() const;
    // Cuts the running watch and runs then once everything it reported is
    // shown (at once when none runs); the timer is left as it is.
    void CutWatch(std::function<void()> then);
    // ended runs after each watch that came to a result: with watches on a
    // pool on the window's thread, behind all it showed; otherwise at the end
    // of the watch. Set before the first watch. The outcome is a copy.
    void OnWatchEnded(std::function<void(const WatchOutcome&)> ended);
    // The same for what needs only the result.
    void OnWatchEnded(std::function<void(const WatchResult&)> ended);

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace corvasse

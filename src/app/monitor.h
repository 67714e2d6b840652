#pragma once
// Everything the main window owns that is not a widget: the settings store,
// the activity log, the network components and the monitor's behaviour
// (settings form, watch cycle, alert delivery, connection event reporting).
// The window gives it the form fields, the view, the dialogs, the timer and
// the event pump, and forwards its buttons, menus and timer to it.

#include <filesystem>
#include <memory>

namespace corvasse {

class ActivityLog;
class Dialogs;
class EventPump;
class FormFields;
class IntervalTimer;
class MonitorView;
class SettingsForm;
class SettingsStore;
class WatchCycle;
struct WatchState;

class Monitor {
public:
    Monitor(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, EventPump& pump,
            const std::filesystem::path& settingsFolder);
    ~Monitor();
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    SettingsStore& Settings();
    ActivityLog& Log();
    SettingsForm& Form();
    WatchCycle& Cycle();
    const WatchState& State() const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

}  // namespace corvasse

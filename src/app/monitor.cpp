#include "app/monitor.h"

#include "app/monitor_components.h"
#include "app/settings_form.h"
#include "app/watch_cycle.h"

namespace corvasse {

struct Monitor::Parts {
    Parts(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, EventPump& pump,
          const MonitorFiles& files)
        : components(form, view, &pump, files),
          cycle(form, view, dialogs, timer, components.settings, components.log, components.web, components.pingClient,
                components.alert, components.state),
          settingsForm(form, view, dialogs, components.settings) {}

    MonitorComponents components;
    WatchCycle cycle;
    SettingsForm settingsForm;
};

MonitorFiles MonitorFiles::InFolder(const std::filesystem::path& settingsFolder) {
    return MonitorFiles{settingsFolder / kSettingsFileName};
}

Monitor::Monitor(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, EventPump& pump,
                 const MonitorFiles& files)
    : parts_(std::make_unique<Parts>(form, view, dialogs, timer, pump, files)) {}

Monitor::~Monitor() = default;

SettingsStore& Monitor::Settings() { return parts_->components.settings; }
ActivityLog& Monitor::Log() { return parts_->components.log; }
SettingsForm& Monitor::Form() { return parts_->settingsForm; }
WatchCycle& Monitor::Cycle() { return parts_->cycle; }
const WatchState& Monitor::State() const { return parts_->components.state; }

}  // namespace corvasse

#include "cli/headless_service.h"

#include "app/interval_timer.h"
#include "app/settings_form.h"
#include "app/watch_cycle.h"

namespace corvasse {

HeadlessService::HeadlessService(const MonitorFiles& files, IntervalTimer& timer, std::FILE* lines, std::FILE* messages)
    : timer_(timer),
      view_(lines),
      dialogs_(messages),
      guard_(dialogs_),
      monitor_(form_, view_, dialogs_, timer, files) {}

bool HeadlessService::Start() {
    guard_.Run([this] {
        monitor_.Form().Load();
        monitor_.Cycle().StartWatching();
    });
    // An error of the first watch leaves the timer armed, as in the window.
    return timer_.Enabled();
}

void HeadlessService::Timer1Timer(SettingsReload reload) {
    if (reload == SettingsReload::None) {
        monitor_.Cycle().TimerTick();
        return;
    }
    guard_.Run([this] {
        // A value removed from the file falls back to the field's initial value.
        FormValues loaded;
        SettingsForm(loaded, view_, dialogs_, monitor_.Settings()).Load();
        form_ = loaded;
        monitor_.Cycle().StartWatching();
    });
}

}  // namespace corvasse

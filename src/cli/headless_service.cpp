#include "cli/headless_service.h"

#include "app/monitor/watch_cycle.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_interval.h"
#include "app/watch/interval_timer.h"
#include "cli/command_line.h"

namespace corvasse {

HeadlessService::HeadlessService(const MonitorFiles& files, IntervalTimer& timer, std::FILE* lines, std::FILE* messages)
    : settingsFile_(files.settings),
      timer_(timer),
      view_(lines, messages),
      dialogs_(messages),
      guard_(dialogs_),
      monitor_(form_, view_, dialogs_, timer, files) {
    // A file moved away while watching leaves the watch and its alert with
    // the values they had, as a reload that cannot read it does.
    monitor_.Settings().SetLostFile(LostFile::ReadsAsLastRead);
}

bool HeadlessService::Start() {
    guard_.Run([this] {
        // The form, the interval and the first watch read the file once.
        const SettingsStore::HeldReads held(monitor_.Settings());
        monitor_.Form().Load();
        StartWatching();
    });
    // An error of the first watch leaves the timer armed, as in the window.
    return timer_.Enabled();
}

void HeadlessService::Timer1Timer(SettingsReload reload) {
    if (reload == SettingsReload::First) {
        // A file moved away or made unreadable would otherwise load as an
        // empty one: every value missing, the form's initial values.
        if (std::optional<std::string> unreadable = UnreadableSettingsFile(settingsFile_)) {
            dialogs_.ShowMessage("corvasse: " + *unreadable + "; keeping the settings in use");
            reload = SettingsReload::None;
        }
    }
    if (reload == SettingsReload::None) {
        monitor_.Cycle().TimerTick();
        return;
    }
    guard_.Run([this] {
        const SettingsStore::HeldReads held(monitor_.Settings());
        // A value removed from the file falls back to the field's initial value.
        FormValues loaded;
        SettingsForm(loaded, view_, dialogs_, monitor_.Settings()).Load();
        form_ = loaded;
        view_.AddStatusLine("Settings read again from " + settingsFile_.string());
        StartWatching();
    });
}

void HeadlessService::StartWatching() {
    try {
        monitor_.Cycle().StartWatching();
    } catch (const WatchIntervalError& error) {
        // Said as the command line's own refusals are.
        dialogs_.ShowMessage(std::string("corvasse: ") + error.what());
    }
}

}  // namespace corvasse

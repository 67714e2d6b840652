#include "cli/headless_service.h"

#include "app/metrics/metrics_board.h"
#include "app/monitor/watch_cycle.h"
#include "app/settings/settings_form.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_interval.h"
#include "app/settings/watch_spec.h"
#include "app/watch/interval_timer.h"
#include "cli/command_line.h"

namespace corvasse {

HeadlessService::HeadlessService(const MonitorFiles& files, IntervalTimer& timer, std::FILE* lines, std::FILE* messages,
                                 MetricsBoard* metrics)
    : settingsFile_(files.settings),
      timer_(timer),
      view_(lines, messages),
      dialogs_(messages),
      guard_(dialogs_),
      monitor_(form_, view_, dialogs_, timer, files),
      metrics_(metrics) {
    // A file moved away while watching leaves the watch and its alert with
    // the values they had, as a reload that cannot read it does.
    monitor_.Settings().SetLostFile(LostFile::ReadsAsLastRead);
    if (metrics_ == nullptr) return;
    status_.name = settingsFile_.stem().string();
    status_.file = settingsFile_;
    view_.OnOutageChange([this](bool outage) { metrics_->SetOutage(status_.name, outage); });
    monitor_.OnWatchEnded([this](const WatchOutcome& outcome) {
        TakeResult(status_, outcome);
        metrics_->WatchEnded(status_);
    });
}

void HeadlessService::Loaded() {
    if (metrics_ == nullptr) return;
    status_.address = ReadWatchSpec(form_, monitor_.Settings()).target;
    metrics_->SetWatches({status_});
}

bool HeadlessService::Start() {
    guard_.Run([this] {
        // The form, the interval and the first watch read the file once.
        const SettingsStore::HeldReads held(monitor_.Settings());
        monitor_.Form().Load();
        Loaded();
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
        Loaded();
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

#include "app/monitor/watch_cycle.h"

#include <cstdint>
#include <string>

#include "app/monitor/tick_boxes.h"
#include "app/monitor/watch_runner.h"
#include "app/settings/form_fields.h"
#include "app/settings/outage_settings.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_interval.h"
#include "app/view/monitor_view.h"
#include "app/watch/interval_timer.h"
#include "app/watch/watch_schedule.h"
#include "common/byte_string.h"

namespace corvasse {

WatchCycle::WatchCycle(FormFields& form, MonitorView& view, const TickBoxes& boxes, IntervalTimer& timer,
                       WatchRunner& runner, const SettingsStore& settings, const WatchSchedule& schedule)
    : form_(form),
      view_(view),
      boxes_(boxes),
      timer_(timer),
      runner_(runner),
      settings_(settings),
      schedule_(schedule) {}

void WatchCycle::StartWatching() {
    view_.ClearStatusLines();
    const SettingsStore settings = settings_.Snapshot();
    // No field of the form sets it: a hand edit counts from the next start.
    const std::string seconds = ReadSetting(settings, setting::intervalSeconds);
    form_.SetText(Field::lblIntervalSeconds, seconds == kAbsentSetting ? "" : seconds);
    // The text is converted before the timer is touched: a bad interval must not
    // leave the timer ticking at whatever interval it had.
    const std::chrono::milliseconds interval =
        WatchInterval(form_.Text(Field::txtWatchFreq), form_.Text(Field::lblIntervalSeconds));
    timer_.SetEnabled(true);
    timer_.SetInterval(static_cast<uint32_t>(interval.count()));
    view_.SetStatusText("Timer set to " + std::to_string(timer_.Interval()) + " millisecond interval.");
    ShowNextWatch(settings);
    runner_.RunWatch();
}

void WatchCycle::StopWatching() {
    timer_.SetEnabled(false);
    // The texts come after the cut watch's last events, or these would hide them.
    runner_.CutWatch([this] {
        view_.SetStatusText("Watching process stopped...");
        view_.SetProgressPosition(0);
        ShowNextWatch(settings_);
    });
}

void WatchCycle::TimerTick() {
    if (boxes_.AnyOpen()) return;
    runner_.RunWatch();
}

void WatchCycle::AbortConnection() {
    // The cut watch's tick is gone: the next one is the timer's next.
    runner_.CutWatch([this] {
        view_.SetStatusText("Connection Aborted...");
        ShowNextWatch(settings_);
        view_.RepaintStatusBar();
    });
}

void WatchCycle::ShowNextWatch(const SettingsStore& settings) {
    // Read as every watch reads them: the panel follows what the watches do.
    // An unreadable file leaves the panel as it is, so that Stop and Abort
    // never fail over it.
    try {
        if (!ReadOutageSettings(settings)) return;
    } catch (const OutageSettingError&) {
        return;  // the watches alert without outage mode, and count
    } catch (const RegistryError&) {
        return;
    }
    view_.SetWatchCountText(NextWatchText(schedule_, SystemTime()).value_or(""));
}

}  // namespace corvasse

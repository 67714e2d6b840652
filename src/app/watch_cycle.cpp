#include "app/watch_cycle.h"

#include <exception>

#include "app/activity_log.h"
#include "app/alert_sender.h"
#include "app/dialogs.h"
#include "app/form_fields.h"
#include "app/handler_guard.h"
#include "app/interval_timer.h"
#include "app/monitor_view.h"
#include "app/ping_client.h"
#include "app/setting_keys.h"
#include "app/watch_state.h"
#include "app/web_client.h"
#include "common/byte_string.h"
#include "common/date_time_text.h"

namespace corvasse {

WatchCycle::WatchCycle(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer,
                       SettingsStore& settings, ActivityLog& log, WebClient& web, PingClient& pinger,
                       AlertSender& alert, WatchState& state)
    : form_(form),
      view_(view),
      boxes_(dialogs),
      timer_(timer),
      settings_(settings),
      log_(log),
      web_(web),
      pinger_(pinger),
      alert_(alert),
      state_(state) {}

void WatchCycle::StartWatching() {
    view_.ClearStatusLines();
    // The text is converted before the timer is touched: a bad interval must not
    // leave the timer ticking at whatever interval it had.
    const int32_t minutes = StrToInt(form_.Text(Field::txtWatchFreq));
    // Minutes times 60000 in 32-bit two's complement, taken as unsigned.
    const uint32_t intervalMs = static_cast<uint32_t>(minutes) * 1000u * 60u;
    timer_.SetEnabled(true);
    timer_.SetInterval(intervalMs);
    view_.SetStatusText("Timer set to " + std::to_string(timer_.Interval()) + " millisecond interval.");
    Tick();
}

void WatchCycle::StopWatching() {
    timer_.SetEnabled(false);
    view_.SetStatusText("Watching process stopped...");
    view_.SetProgressPosition(0);
}

void WatchCycle::Tick() {
    state_.FetchedBody.clear();
    if (IsSettingOn(settings_, setting::PingOnly)) {
        RunPingWatch();
    } else {
        RunWebWatch();
    }
    state_.WatchCount = static_cast<int32_t>(static_cast<uint32_t>(state_.WatchCount) + 1u);
    view_.SetWatchCountText("Watch count:" + std::to_string(state_.WatchCount));
    view_.SetStatusText("Watching...");
    view_.RepaintStatusBar();
}

void WatchCycle::TimerTick() {
    if (boxes_.AnyOpen()) return;
    HandlerGuard(boxes_).Run([this] { Tick(); });
}

void WatchCycle::AbortConnection() {
    web_.Disconnect();
    view_.SetStatusText("Connection Aborted...");
    view_.RepaintStatusBar();
}

void WatchCycle::RunPingWatch() {
    const std::string host = Trim(form_.Text(Field::editIPaddr));
    pinger_.SetAddressFamily(AddressFamilySetting(settings_));
    try {
        pinger_.PingHost(host);
    } catch (const std::exception&) {
        view_.AddStatusLine(DateTimeTextNow() + " - error Pinging site:" + host);
        log_.AppendLogLine(DateTimeTextNow() + " - error pinging site." + host);
    }
    view_.AddStatusLine(DateTimeTextNow() + " - Ping response time: " + std::to_string(pinger_.ResponseTime()) +
                        " (ms)");
    log_.AppendLogLine(DateTimeTextNow() + " - Ping response time: " + std::to_string(pinger_.ResponseTime()) +
                       " (ms)");
}

void WatchCycle::RunWebWatch() {
    const bool httpsAllowed = IsSettingOn(settings_, setting::allowHttps);
    if (!httpsAllowed && ContainsBytes(form_.Text(Field::txtURL2watch), "https://")) {
        boxes_.Beep();
        boxes_.ShowMessage("Sorry, we do not support HTTPS protocol at this time.");
        return;
    }
    web_.SetHttpsPolicy(httpsAllowed ? HttpsPolicy::Allowed : HttpsPolicy::Refused);
    web_.SetAddressFamily(AddressFamilySetting(settings_));
    web_.SetConnectTimeout(kWatchConnectTimeoutMs);
    try {
        state_.FetchedBody = web_.Get(form_.Text(Field::txtURL2watch));
        CheckContent();
        web_.Disconnect();
    } catch (const std::exception&) {
        // A failed fetch, a bad expected size or a failed alert of the content
        // check: one (more) alert. Its own failure leaves the tick.
        alert_.SendAlert();
    }
}

void WatchCycle::CheckContent() {
    state_.FoundFlag.clear();
    view_.RepaintStatusPane();
    const std::string expectedSize = form_.Text(Field::txtFileSize);
    if (!Trim(expectedSize).empty()) {
        const int32_t expected = StrToInt(expectedSize);
        if (static_cast<int64_t>(expected) < static_cast<int64_t>(state_.FetchedBody.size())) alert_.SendAlert();
        return;
    }
    if (ContainsBytes(state_.FetchedBody, form_.Text(Field::txtLookFor))) {
        state_.FoundFlag = "y";
    } else {
        alert_.SendAlert();
    }
}

}  // namespace corvasse

#include "app/watch.h"

#include <exception>

#include "app/activity_log.h"
#include "app/alert_sender.h"
#include "app/body_check.h"
#include "app/dialogs.h"
#include "app/form_fields.h"
#include "app/monitor_view.h"
#include "app/ping_client.h"
#include "app/setting_keys.h"
#include "app/watch_state.h"
#include "app/web_client.h"
#include "common/byte_string.h"
#include "common/date_time_text.h"

namespace corvasse {

Watch::Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
             WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state)
    : form_(form),
      view_(view),
      dialogs_(dialogs),
      settings_(settings),
      log_(log),
      web_(web),
      pinger_(pinger),
      alert_(alert),
      state_(state) {}

void Watch::Run() {
    state_.FetchedBodyLength = 0;
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

void Watch::RunPingWatch() {
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

void Watch::RunWebWatch() {
    const bool httpsAllowed = IsSettingOn(settings_, setting::allowHttps);
    if (!httpsAllowed && ContainsBytes(form_.Text(Field::txtURL2watch), "https://")) {
        dialogs_.Beep();
        dialogs_.ShowMessage("Sorry, we do not support HTTPS protocol at this time.");
        return;
    }
    web_.SetHttpsPolicy(httpsAllowed ? HttpsPolicy::Allowed : HttpsPolicy::Refused);
    web_.SetAddressFamily(AddressFamilySetting(settings_));
    web_.SetConnectTimeout(kWatchConnectTimeoutMs);
    try {
        // The page is checked as it arrives, so the look-for text is the one
        // in the form when the fetch starts.
        BodyCheck body(form_.Text(Field::txtLookFor));
        web_.Get(form_.Text(Field::txtURL2watch), body);
        state_.FetchedBodyLength = body.Length();
        CheckContent(body);
        web_.Disconnect();
    } catch (const std::exception&) {
        // A failed fetch, a bad expected size or a failed alert of the content
        // check: one (more) alert. Its own failure leaves the tick.
        alert_.SendAlert();
    }
}

void Watch::CheckContent(const BodyCheck& body) {
    state_.FoundFlag.clear();
    view_.RepaintStatusPane();
    const std::string expectedSize = form_.Text(Field::txtFileSize);
    if (!Trim(expectedSize).empty()) {
        const int32_t expected = StrToInt(expectedSize);
        if (static_cast<int64_t>(expected) < body.Length()) alert_.SendAlert();
        return;
    }
    if (body.Found()) {
        state_.FoundFlag = "y";
    } else {
        alert_.SendAlert();
    }
}

}  // namespace corvasse

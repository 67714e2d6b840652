#include "app/watch.h"

#include <chrono>
#include <exception>

#include "app/activity_log.h"
#include "app/alert_sender.h"
#include "app/body_check.h"
#include "app/dialogs.h"
#include "app/failure_reason.h"
#include "app/form_fields.h"
#include "app/monitor_view.h"
#include "app/ping_client.h"
#include "app/setting_keys.h"
#include "app/watch_state.h"
#include "app/watch_target.h"
#include "app/web_client.h"
#include "common/byte_string.h"
#include "common/date_time_text.h"

namespace corvasse {

std::string SizeOverReason(int64_t size, int32_t expected) {
    return std::to_string(size) + " bytes, more than the expected " + std::to_string(expected);
}

Watch::Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
             WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state, ResultKeeper& results)
    : form_(form),
      view_(view),
      dialogs_(dialogs),
      settings_(settings),
      log_(log),
      web_(web),
      pinger_(pinger),
      alert_(alert),
      state_(state),
      results_(results),
      certificates_(settings, view, alert, results) {}

void Watch::Run() {
    state_.FetchedBodyLength = 0;
    const WatchKind kind = IsSettingOn(settings_, setting::PingOnly) ? WatchKind::Ping : WatchKind::Web;
    alerts_ = results_.Begin(kind, WatchTarget(form_, settings_));
    const std::optional<WatchResult> result = kind == WatchKind::Ping ? RunPingWatch() : RunWebWatch();
    if (result && alerts_ == FailureAlerts::ByOutage) results_.Conclude(*result);
    state_.WatchCount = static_cast<int32_t>(static_cast<uint32_t>(state_.WatchCount) + 1u);
    const std::optional<std::string> nextWatch = results_.NextWatchText();
    view_.SetWatchCountText(nextWatch ? *nextWatch : "Watch count:" + std::to_string(state_.WatchCount));
    view_.SetStatusText("Watching...");
    view_.RepaintStatusBar();
}

WatchResult Watch::RunPingWatch() {
    const std::string host = Trim(form_.Text(Field::editIPaddr));
    pinger_.SetAddressFamily(AddressFamilySetting(settings_));
    WatchResult result;
    result.time = results_.Now();
    // In outage mode the log keeps the alerts and recoveries; the history every result.
    const bool logged = alerts_ == FailureAlerts::AtOnce;
    try {
        pinger_.PingHost(host);
        result.responseTime = std::chrono::milliseconds(pinger_.ResponseTime());
    } catch (const std::exception& error) {
        result.state = ResultState::Down;
        result.reason = FailureReason(error);
    }
    if (alerts_ == FailureAlerts::AtOnce) results_.Record(result);
    if (result.state == ResultState::Down) {
        view_.AddStatusLine(DateTimeTextNow() + " - error Pinging site:" + host);
        if (logged) log_.AppendLogLine(DateTimeTextNow() + " - error pinging site." + host);
    }
    view_.AddStatusLine(DateTimeTextNow() + " - Ping response time: " + std::to_string(pinger_.ResponseTime()) +
                        " (ms)");
    if (logged) {
        log_.AppendLogLine(DateTimeTextNow() + " - Ping response time: " + std::to_string(pinger_.ResponseTime()) +
                           " (ms)");
    }
    return result;
}

std::optional<WatchResult> Watch::RunWebWatch() {
    const bool httpsAllowed = IsSettingOn(settings_, setting::allowHttps);
    if (!httpsAllowed && ContainsBytes(form_.Text(Field::txtURL2watch), "https://")) {
        dialogs_.Beep();
        dialogs_.ShowMessage("Sorry, we do not support HTTPS protocol at this time.");
        return std::nullopt;
    }
    web_.SetHttpsPolicy(httpsAllowed ? HttpsPolicy::Allowed : HttpsPolicy::Refused);
    web_.SetAddressFamily(AddressFamilySetting(settings_));
    web_.SetConnectTimeout(kWatchConnectTimeoutMs);
    // Undecided until the first failure, or the end without one.
    WatchResult result;
    result.time = results_.Now();
    result.state = ResultState::Unknown;
    std::optional<PeerCertificate> certificate;
    try {
        // The page is checked as it arrives, so the look-for text is the one
        // in the form when the fetch starts.
        BodyCheck body(form_.Text(Field::txtLookFor));
        const auto started = std::chrono::steady_clock::now();
        web_.Get(form_.Text(Field::txtURL2watch), body);
        certificate = web_.ServerCertificate();
        result.responseTime =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
        state_.FetchedBodyLength = body.Length();
        result.size = body.Length();
        CheckContent(body, result);
        web_.Disconnect();
    } catch (const std::exception& error) {
        // A failed fetch, a bad expected size or a failed alert of the content
        // check: one (more) alert. Its own failure leaves the tick.
        Failed(result, FailureReason(error));
    }
    if (result.state == ResultState::Unknown) {
        result.state = ResultState::Up;
        if (alerts_ == FailureAlerts::AtOnce) results_.Record(result);
    }
    if (certificate) certificates_.Check(form_.Text(Field::txtURL2watch), *certificate);
    return result;
}

void Watch::Failed(WatchResult& result, const std::string& reason) {
    if (result.state == ResultState::Unknown) {
        result.state = ResultState::Down;
        result.reason = reason;
        if (alerts_ == FailureAlerts::AtOnce) results_.Record(result);
    }
    if (alerts_ == FailureAlerts::AtOnce) alert_.SendAlert();
}

void Watch::CheckContent(const BodyCheck& body, WatchResult& result) {
    state_.FoundFlag.clear();
    view_.RepaintStatusPane();
    const std::string expectedSize = form_.Text(Field::txtFileSize);
    if (!Trim(expectedSize).empty()) {
        const int32_t expected = StrToInt(expectedSize);
        if (static_cast<int64_t>(expected) < body.Length()) Failed(result, SizeOverReason(body.Length(), expected));
        return;
    }
    if (body.Found()) {
        state_.FoundFlag = "y";
    } else {
        Failed(result, kTextMissingReason);
    }
}

}  // namespace corvasse

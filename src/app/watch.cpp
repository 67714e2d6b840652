#include "app/watch.h"

#include <chrono>
#include <exception>

#include "app/activity_log.h"
#include "app/alert_sender.h"
#include "app/dialogs.h"
#include "app/form_fields.h"
#include "app/monitor_view.h"
#include "app/offline_reason.h"
#include "app/ping_client.h"
#include "app/setting_keys.h"
#include "app/watch_state.h"
#include "app/web_client.h"
#include "common/byte_string.h"
#include "common/date_time_text.h"
#include "common/process_abort.h"
#include "http/uri.h"

namespace corvasse {

Watch::Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
             WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state, const SuspendClock& clock)
    : form_(form),
      view_(view),
      dialogs_(dialogs),
      settings_(settings),
      log_(log),
      web_(web),
      pinger_(pinger),
      alert_(alert),
      state_(state),
      resume_(clock) {}

void Watch::Run() {
    // Asked at every watch, so that a sleep is measured from the watch before
    // it, whatever the setting said then.
    if (resume_.SleptSinceLastCheck() && IsSettingOn(settings_, setting::offlineAware)) WaitAfterSleep();
    state_.FetchedBody.clear();
    state_.FamilyFailures.clear();
    state_.OfflineReason.clear();
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

void Watch::WaitAfterSleep() {
    // A network that comes back after a sleep takes a while to be up again.
    const std::chrono::seconds grace = ResumeGraceSetting(settings_);
    view_.AddStatusLine("This computer has just woken up: the watch waits " + std::to_string(grace.count()) + " s.");
    PollUnlessAborted({}, std::chrono::steady_clock::now() + grace);
}

std::optional<FamilyPlan> Watch::EachFamilyPlan(const std::string& host) {
    if (!WatchesEachFamily(settings_)) return std::nullopt;
    FamilyPlan plan = PlanFamilies(LookupAddresses(host, AddressFamily::Any));
    if (plan.passes.empty()) return std::nullopt;
    std::string notice;
    for (AddressFamily skipped : plan.skipped) notice = SkippedFamilyText(host, skipped);
    if (!notice.empty() && notice != state_.SkippedFamilyNoted) view_.AddStatusLine(notice);
    state_.SkippedFamilyNoted = notice;
    return plan;
}

void Watch::RunPingWatch() {
    const std::string host = Trim(form_.Text(Field::editIPaddr));
    if (const std::optional<FamilyPlan> plan = EachFamilyPlan(host)) {
        for (const FamilyPass& pass : plan->passes) PingOver(host, pass.family, &pass);
        return;
    }
    PingOver(host, AddressFamilySetting(settings_), nullptr);
}

void Watch::PingOver(const std::string& host, AddressFamily family, const FamilyPass* pass) {
    pinger_.SetAddressFamily(family);
    try {
        pinger_.PingHost(host);
    } catch (const std::exception& error) {
        if (const std::optional<std::string> offline = OfflineReasonFor(host, family, pass, ReferenceProbe::Ping)) {
            ReportOffline(*offline);
            return;
        }
        view_.AddStatusLine(DateTimeTextNow() + " - error Pinging site:" + host);
        log_.AppendLogLine(DateTimeTextNow() + " - error pinging site." + host);
        if (pass) {
            const std::string failure =
                FamilyFailureText(family, AddressForDisplay(pass->lookup.addresses.front().Text()), error.what());
            view_.AddStatusLine(failure);
            log_.AppendLogLine(failure);
        }
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
    const std::string host = Uri(AbsoluteAddress(form_.Text(Field::txtURL2watch))).Host;
    if (const std::optional<FamilyPlan> plan = EachFamilyPlan(host)) {
        RunWebWatchOverEachFamily(host, *plan);
        return;
    }
    const AddressFamily family = AddressFamilySetting(settings_);
    web_.SetAddressFamily(family);
    web_.SetConnectTimeout(kWatchConnectTimeoutMs);
    try {
        state_.FetchedBody = web_.Get(form_.Text(Field::txtURL2watch));
        if (!ContentPasses()) alert_.SendAlert();
        web_.Disconnect();
    } catch (const std::exception&) {
        // A site that answered was reached, whatever failed after.
        if (web_.ResponseCode() == -1) {
            if (const auto offline = OfflineReasonFor(host, family, nullptr, ReferenceProbe::Connect)) {
                ReportOffline(*offline);
                return;
            }
        }
        // A failed fetch, a bad expected size or a failed alert of the content
        // check: one (more) alert. Its own failure leaves the tick.
        alert_.SendAlert();
    }
}

void Watch::RunWebWatchOverEachFamily(const std::string& host, const FamilyPlan& plan) {
    // The report tells of the first family that failed.
    std::optional<WatchState> firstFailed;
    for (const FamilyPass& pass : plan.passes) {
        state_.FetchedBody.clear();
        web_.SetAddressFamily(pass.family);
        web_.SetConnectTimeout(kWatchConnectTimeoutMs);
        std::string failure;
        try {
            state_.FetchedBody = web_.Get(form_.Text(Field::txtURL2watch));
            if (!ContentPasses()) failure = "the page did not pass the content check.";
            web_.Disconnect();
        } catch (const std::exception& error) {
            if (web_.ResponseCode() == -1) {
                const auto offline = OfflineReasonFor(host, pass.family, &pass, ReferenceProbe::Connect);
                if (offline) {
                    ReportOffline(*offline);
                    continue;
                }
            }
            failure = error.what();
        }
        if (failure.empty()) continue;
        std::string peer = web_.PeerAddress();
        if (peer.empty()) peer = AddressForDisplay(pass.lookup.addresses.front().Text());
        state_.FamilyFailures.push_back(FamilyFailureText(pass.family, peer, failure));
        view_.AddStatusLine(state_.FamilyFailures.back());
        if (!firstFailed) firstFailed = state_;
    }
    if (!firstFailed) return;
    state_.FetchedBody = firstFailed->FetchedBody;
    state_.FoundFlag = firstFailed->FoundFlag;
    alert_.SendAlert();
}

bool Watch::ContentPasses() {
    state_.FoundFlag.clear();
    view_.RepaintStatusPane();
    const std::string expectedSize = form_.Text(Field::txtFileSize);
    if (!Trim(expectedSize).empty()) {
        const int32_t expected = StrToInt(expectedSize);
        return static_cast<int64_t>(expected) >= static_cast<int64_t>(state_.FetchedBody.size());
    }
    if (!ContainsBytes(state_.FetchedBody, form_.Text(Field::txtLookFor))) return false;
    state_.FoundFlag = "y";
    return true;
}

std::optional<std::string> Watch::OfflineReasonFor(const std::string& host, AddressFamily family,
                                                   const FamilyPass* pass, ReferenceProbe probe) {
    if (!IsSettingOn(settings_, setting::offlineAware)) return std::nullopt;
    SystemNetworkProbes probes(probe);
    return OfflineReason(pass ? pass->lookup : LookupAddresses(host, family), ReferenceHostSetting(settings_), probes);
}

void Watch::ReportOffline(const std::string& reason) {
    state_.OfflineReason = reason;
    view_.AddStatusLine("Offline (" + reason + "): this watch is not counted");
}

}  // namespace corvasse

#include "app/watch.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <tuple>
#include <utility>
#include <vector>

#include "app/activity_log.h"
#include "app/alert_sender.h"
#include "app/body_check.h"
#include "app/dialogs.h"
#include "app/failure_reason.h"
#include "app/form_fields.h"
#include "app/monitor_view.h"
#include "app/offline_reason.h"
#include "app/ping_client.h"
#include "app/setting_keys.h"
#include "app/watch_state.h"
#include "app/watch_target.h"
#include "app/web_client.h"
#include "common/byte_string.h"
#include "common/date_time_text.h"
#include "common/process_abort.h"
#include "http/uri.h"

namespace corvasse {

std::string SizeOverReason(int64_t size, int32_t expected) {
    return std::to_string(size) + " bytes, more than the expected " + std::to_string(expected);
}

Watch::Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
             WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state, ResultKeeper& results,
             const SuspendClock& clock)
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
      resume_(clock),
      certificates_(settings, view, alert, results) {}

void Watch::Run() {
    // Asked at every watch, so that a sleep is measured from the watch before
    // it, whatever the setting said then.
    if (resume_.SleptSinceLastCheck() && IsSettingOn(settings_, setting::offlineAware)) WaitAfterSleep();
    state_.FetchedBodyLength = 0;
    state_.FamilyFailures.clear();
    state_.OfflineReason.clear();
    state_.WatchedEachFamily = false;
    const WatchKind kind = IsSettingOn(settings_, setting::PingOnly) ? WatchKind::Ping : WatchKind::Web;
    alerts_ = results_.Begin(kind, WatchTarget(form_, settings_));
    const std::optional<WatchResult> result = kind == WatchKind::Ping ? RunPingWatch() : RunWebWatch();
    if (result && result->state == ResultState::Unknown) state_.OfflineReason = result->reason;
    if (result && alerts_ == FailureAlerts::ByOutage) results_.Conclude(*result);
    state_.WatchCount = static_cast<int32_t>(static_cast<uint32_t>(state_.WatchCount) + 1u);
    const std::optional<std::string> nextWatch = results_.NextWatchText();
    view_.SetWatchCountText(nextWatch ? *nextWatch : "Watch count:" + std::to_string(state_.WatchCount));
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
    if (notice.empty()) {
        state_.SkippedFamilyNoted.Clear();
    } else if (state_.SkippedFamilyNoted.IsNew(notice)) {
        view_.AddStatusLine(notice);
    }
    return plan;
}

WatchResult Watch::RunPingWatch() {
    const std::string host = Trim(form_.Text(Field::editIPaddr));
    std::vector<PingOutcome> outcomes;
    if (const std::optional<FamilyPlan> plan = EachFamilyPlan(host)) {
        state_.WatchedEachFamily = true;
        for (const FamilyPass& pass : plan->passes) outcomes.push_back(PingOver(host, pass.family, &pass));
    } else {
        outcomes.push_back(PingOver(host, AddressFamilySetting(settings_), nullptr));
    }
    std::vector<WatchResult> results;
    for (const PingOutcome& outcome : outcomes) results.push_back(outcome.result);
    const WatchResult result = CombinedResult(results);
    if (alerts_ == FailureAlerts::AtOnce) results_.Record(result);
    for (const PingOutcome& outcome : outcomes) ShowPing(host, outcome);
    return result;
}

Watch::PingOutcome Watch::PingOver(const std::string& host, AddressFamily family, const FamilyPass* pass) {
    pinger_.SetAddressFamily(family);
    PingOutcome outcome;
    outcome.result.time = results_.Now();
    try {
        pinger_.PingHost(host);
        outcome.result.responseTime = std::chrono::milliseconds(pinger_.ResponseTime());
    } catch (const std::exception& error) {
        if (const std::optional<std::string> offline = OfflineReasonFor(host, family, pass, ReferenceProbe::Ping)) {
            outcome.result.state = ResultState::Unknown;
            outcome.result.reason = *offline;
        } else {
            outcome.result.state = ResultState::Down;
            outcome.result.reason = FailureReason(error);
            if (pass) {
                outcome.familyFailure = FamilyFailureText(
                    family, AddressForDisplay(pass->lookup.addresses.front().Text()), outcome.result.reason);
                outcome.result.reason = outcome.familyFailure;
                state_.FamilyFailures.push_back(outcome.familyFailure);
            }
        }
    }
    outcome.responseTime = pinger_.ResponseTime();
    return outcome;
}

void Watch::ShowPing(const std::string& host, const PingOutcome& outcome) {
    if (outcome.result.state == ResultState::Unknown) {
        ReportOffline(outcome.result);
        return;
    }
    // In outage mode the log keeps the alerts and recoveries; the history every result.
    const bool logged = alerts_ == FailureAlerts::AtOnce;
    if (outcome.result.state == ResultState::Down) {
        view_.AddStatusLine(DateTimeTextNow() + " - error Pinging site:" + host);
        if (logged) log_.AppendLogLine(DateTimeTextNow() + " - error pinging site." + host);
        if (!outcome.familyFailure.empty()) {
            view_.AddStatusLine(outcome.familyFailure);
            if (logged) log_.AppendLogLine(outcome.familyFailure);
        }
    }
    const std::string time = std::to_string(outcome.responseTime);
    view_.AddStatusLine(DateTimeTextNow() + " - Ping response time: " + time + " (ms)");
    if (logged) log_.AppendLogLine(DateTimeTextNow() + " - Ping response time: " + time + " (ms)");
}

std::optional<WatchResult> Watch::RunWebWatch() {
    const bool httpsAllowed = IsSettingOn(settings_, setting::allowHttps);
    if (!httpsAllowed && ContainsBytes(form_.Text(Field::txtURL2watch), "https://")) {
        dialogs_.Beep();
        dialogs_.ShowMessage("Sorry, we do not support HTTPS protocol at this time.");
        return std::nullopt;
    }
    web_.SetHttpsPolicy(httpsAllowed ? HttpsPolicy::Allowed : HttpsPolicy::Refused);
    const std::string host = Uri(AbsoluteAddress(form_.Text(Field::txtURL2watch))).Host;
    if (const std::optional<FamilyPlan> plan = EachFamilyPlan(host)) return RunWebWatchOverEachFamily(host, *plan);
    const AddressFamily family = AddressFamilySetting(settings_);
    web_.SetAddressFamily(family);
    web_.SetConnectTimeout(kWatchConnectTimeout);
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
        // Only a site that never answered may have been out of reach.
        if (result.state == ResultState::Unknown && web_.ResponseCode() == -1) {
            if (const auto offline = OfflineReasonFor(host, family, nullptr, ReferenceProbe::Connect)) {
                result.reason = *offline;
                ReportOffline(result);
                if (alerts_ == FailureAlerts::AtOnce) results_.Record(result);
                return result;
            }
        }
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

WatchResult Watch::RunWebWatchOverEachFamily(const std::string& host, const FamilyPlan& plan) {
    state_.WatchedEachFamily = true;
    std::vector<WatchResult> results;
    // The report tells of the page of the first family that failed.
    std::optional<std::pair<int64_t, std::string>> firstFailedPage;
    // The server may show each family a certificate of its own; each warns once.
    std::vector<PeerCertificate> certificates;
    for (const FamilyPass& pass : plan.passes) {
        state_.FetchedBodyLength = 0;
        web_.SetAddressFamily(pass.family);
        web_.SetConnectTimeout(kWatchConnectTimeout);
        WatchResult result;
        result.time = results_.Now();
        std::optional<std::string> failure;
        try {
            BodyCheck body(form_.Text(Field::txtLookFor));
            const auto started = std::chrono::steady_clock::now();
            web_.Get(form_.Text(Field::txtURL2watch), body);
            if (std::optional<PeerCertificate> certificate = web_.ServerCertificate()) {
                const bool seen = std::any_of(certificates.begin(), certificates.end(), [&](const PeerCertificate& c) {
                    return c.issuer == certificate->issuer && c.serialNumber == certificate->serialNumber;
                });
                if (!seen) certificates.push_back(std::move(*certificate));
            }
            result.responseTime =
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
            state_.FetchedBodyLength = body.Length();
            result.size = body.Length();
            failure = ContentFailure(body);
            web_.Disconnect();
        } catch (const std::exception& error) {
            const std::optional<std::string> offline =
                !failure && web_.ResponseCode() == -1
                    ? OfflineReasonFor(host, pass.family, &pass, ReferenceProbe::Connect)
                    : std::nullopt;
            if (offline) {
                result.state = ResultState::Unknown;
                result.reason = *offline;
                ReportOffline(result);
                results.push_back(result);
                continue;
            }
            if (!failure) failure = FailureReason(error);
        }
        if (failure) {
            std::string peer = web_.PeerAddress();
            if (peer.empty()) peer = AddressForDisplay(pass.lookup.addresses.front().Text());
            result.state = ResultState::Down;
            result.reason = FamilyFailureText(pass.family, peer, *failure);
            state_.FamilyFailures.push_back(result.reason);
            view_.AddStatusLine(result.reason);
            if (!firstFailedPage) firstFailedPage.emplace(state_.FetchedBodyLength, state_.FoundFlag);
        }
        results.push_back(result);
    }
    if (firstFailedPage) std::tie(state_.FetchedBodyLength, state_.FoundFlag) = *firstFailedPage;
    const WatchResult result = CombinedResult(results);
    if (alerts_ == FailureAlerts::AtOnce) {
        results_.Record(result);
        if (result.state == ResultState::Down) alert_.SendAlert();
    }
    for (const PeerCertificate& certificate : certificates) {
        certificates_.Check(form_.Text(Field::txtURL2watch), certificate);
    }
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
    if (const std::optional<std::string> failure = ContentFailure(body)) Failed(result, *failure);
}

std::optional<std::string> Watch::ContentFailure(const BodyCheck& body) {
    state_.FoundFlag.clear();
    view_.RepaintStatusPane();
    const std::string expectedSize = form_.Text(Field::txtFileSize);
    if (!Trim(expectedSize).empty()) {
        const int32_t expected = StrToInt(expectedSize);
        if (static_cast<int64_t>(expected) < body.Length()) return SizeOverReason(body.Length(), expected);
        return std::nullopt;
    }
    if (!body.Found()) return kTextMissingReason;
    state_.FoundFlag = "y";
    return std::nullopt;
}

std::optional<std::string> Watch::OfflineReasonFor(const std::string& host, AddressFamily family,
                                                   const FamilyPass* pass, ReferenceProbe probe) {
    if (!IsSettingOn(settings_, setting::offlineAware)) return std::nullopt;
    SystemNetworkProbes probes(probe);
    return OfflineReason(pass ? pass->lookup : LookupAddresses(host, family), ReferenceHostSetting(settings_), probes);
}

void Watch::ReportOffline(const WatchResult& result) {
    view_.AddResultLine(std::chrono::system_clock::to_time_t(result.time),
                        "Offline (" + result.reason + "): this watch is not counted");
}

}  // namespace corvasse

#include "app/watch/watch.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <tuple>
#include <utility>
#include <vector>

#include "app/offline/offline_reason.h"
#include "app/settings/form_fields.h"
#include "app/view/activity_log.h"
#include "app/view/dialogs.h"
#include "app/view/monitor_view.h"
#include "app/watch/body_check.h"
#include "app/watch/failure_reason.h"
#include "app/watch/ping_client.h"
#include "app/watch/watch_state.h"
#include "app/watch/web_client.h"
#include "common/byte_string.h"
#include "common/date_time_text.h"
#include "common/process_abort.h"
#include "http/uri.h"

namespace corvasse {

std::string SizeOverReason(int64_t size, int32_t expected) {
    return std::to_string(size) + " bytes, more than the expected " + std::to_string(expected);
}

Watch::Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
             WebClient& web, PingClient& pinger, WatchState& state, ResultKeeper& results, const SuspendClock& clock)
    : form_(form),
      view_(view),
      dialogs_(dialogs),
      settings_(settings),
      log_(log),
      web_(web),
      pinger_(pinger),
      state_(state),
      results_(results),
      resume_(clock),
      outcome_(state.outcome) {}

void Watch::Run() {
    // Asked at every watch, so that a sleep is measured from the watch before
    // it, whatever the setting said then.
    const bool slept = resume_.SleptSinceLastCheck();
    watchSpec_ = ReadWatchSpec(form_, settings_);
    if (slept && watchSpec_.offlineAware) WaitAfterSleep();
    // What the latest content check found stands until the next check.
    const bool textFound = outcome_.textFound;
    outcome_ = WatchOutcome();
    outcome_.textFound = textFound;
    results_.Begin(watchSpec_);
    bool watched = true;
    if (watchSpec_.kind == WatchKind::Ping) {
        RunPingWatch();
    } else {
        watched = RunWebWatch();
    }
    if (watched) results_.Conclude(outcome_);
    state_.WatchCount = static_cast<int32_t>(static_cast<uint32_t>(state_.WatchCount) + 1u);
    const std::optional<std::string> nextWatch = results_.NextWatchText();
    view_.SetWatchCountText(nextWatch ? *nextWatch : "Watch count:" + std::to_string(state_.WatchCount));
    view_.SetStatusText("Watching...");
    view_.RepaintStatusBar();
}

void Watch::WaitAfterSleep() {
    // A network that comes back after a sleep takes a while to be up again.
    const std::chrono::seconds grace = watchSpec_.resumeGrace;
    view_.AddStatusLine("This computer has just woken up: the watch waits " + std::to_string(grace.count()) + " s.");
    PollUnlessAborted({}, std::chrono::steady_clock::now() + grace);
}

std::optional<FamilyPlan> Watch::EachFamilyPlan(const std::string& host) {
    if (!watchSpec_.eachFamily) return std::nullopt;
    FamilyPlan plan = PlanFamilies(LookupAddresses(host, AddressFamily::Any));
    if (plan.passes.empty()) return std::nullopt;
    std::string notice;
    for (AddressFamily skipped : plan.skipped) notice = SkippedFamilyText(host, skipped);
    if (notice.empty()) {
        state_.skippedFamilyNoted.Clear();
    } else if (state_.skippedFamilyNoted.IsNew(notice)) {
        view_.AddStatusLine(notice);
    }
    return plan;
}

void Watch::RunPingWatch() {
    std::vector<PingOutcome> outcomes;
    if (const std::optional<FamilyPlan> plan = EachFamilyPlan(watchSpec_.pingHost)) {
        outcome_.watchedEachFamily = true;
        for (const FamilyPass& pass : plan->passes) outcomes.push_back(PingOver(pass.family, &pass));
    } else {
        outcomes.push_back(PingOver(watchSpec_.family, nullptr));
    }
    std::vector<WatchResult> results;
    for (const PingOutcome& outcome : outcomes) results.push_back(outcome.result);
    outcome_.result = CombinedResult(results);
    results_.ResultKnown(outcome_);
    for (const PingOutcome& outcome : outcomes) ShowPing(outcome);
}

Watch::PingOutcome Watch::PingOver(AddressFamily family, const FamilyPass* pass) {
    pinger_.SetAddressFamily(family);
    PingOutcome outcome;
    outcome.result.time = results_.Now();
    try {
        pinger_.PingHost(watchSpec_.pingHost);
        outcome.result.responseTime = std::chrono::milliseconds(pinger_.ResponseTime());
    } catch (const std::exception& error) {
        if (const auto offline = OfflineReasonFor(watchSpec_.pingHost, family, pass, ReferenceProbe::Ping)) {
            outcome.result.state = ResultState::Unknown;
            outcome.result.reason = *offline;
        } else {
            outcome.result.state = ResultState::Down;
            outcome.result.reason = FailureReason(error);
            if (pass) {
                outcome.familyFailure = FamilyFailureText(
                    family, AddressForDisplay(pass->lookup.addresses.front().Text()), outcome.result.reason);
                outcome.result.reason = outcome.familyFailure;
                outcome_.familyFailures.push_back(outcome.familyFailure);
            }
        }
    }
    outcome.responseTime = pinger_.ResponseTime();
    return outcome;
}

void Watch::ShowPing(const PingOutcome& outcome) {
    if (outcome.result.state == ResultState::Unknown) {
        ReportOffline(outcome.result);
        return;
    }
    // In outage mode the log keeps the alerts and recoveries; the history every result.
    const bool logged = !results_.ByOutage();
    const std::string& host = watchSpec_.pingHost;
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

bool Watch::RunWebWatch() {
    if (!watchSpec_.httpsAllowed && ContainsBytes(watchSpec_.address, "https://")) {
        dialogs_.Beep();
        dialogs_.ShowMessage("Sorry, we do not support HTTPS protocol at this time.");
        return false;
    }
    web_.SetHttpsPolicy(watchSpec_.httpsAllowed ? HttpsPolicy::Allowed : HttpsPolicy::Refused);
    const std::string host = Uri(AbsoluteAddress(watchSpec_.address)).Host;
    if (const std::optional<FamilyPlan> plan = EachFamilyPlan(host)) {
        RunWebWatchOverEachFamily(host, *plan);
        return true;
    }
    web_.SetAddressFamily(watchSpec_.family);
    web_.SetConnectTimeout(kWatchConnectTimeout);
    // Undecided until the first failure, or the end without one.
    WatchResult& result = outcome_.result;
    result.time = results_.Now();
    result.state = ResultState::Unknown;
    try {
        // The page is checked as it arrives.
        BodyCheck body(watchSpec_.lookFor);
        const auto started = std::chrono::steady_clock::now();
        web_.Get(watchSpec_.address, body);
        if (std::optional<PeerCertificate> certificate = web_.ServerCertificate()) {
            outcome_.certificates.push_back(std::move(*certificate));
        }
        result.responseTime =
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
        outcome_.pageLength = body.Length();
        result.size = body.Length();
        CheckContent(body);
        web_.Disconnect();
        NoteReply();
    } catch (const std::exception& error) {
        NoteReply();
        // Only a site that never answered may have been out of reach.
        if (result.state == ResultState::Unknown && web_.ResponseCode() == -1) {
            if (const auto offline = OfflineReasonFor(host, watchSpec_.family, nullptr, ReferenceProbe::Connect)) {
                result.reason = *offline;
                ReportOffline(result);
                results_.ResultKnown(outcome_);
                return true;
            }
        }
        // A failed fetch, a bad expected size or a failed alert of the content
        // check: one (more) alert. Its own failure leaves the tick.
        Failed(FailureReason(error));
    }
    if (result.state == ResultState::Unknown) {
        result.state = ResultState::Up;
        results_.ResultKnown(outcome_);
    }
    CheckCertificates();
    return true;
}

void Watch::RunWebWatchOverEachFamily(const std::string& host, const FamilyPlan& plan) {
    outcome_.watchedEachFamily = true;
    std::vector<WatchResult> results;
    // The report tells of the page of the first family that failed.
    std::optional<std::pair<int64_t, bool>> firstFailedPage;
    for (const FamilyPass& pass : plan.passes) {
        outcome_.pageLength = 0;
        web_.SetAddressFamily(pass.family);
        web_.SetConnectTimeout(kWatchConnectTimeout);
        WatchResult result;
        result.time = results_.Now();
        std::optional<std::string> failure;
        try {
            BodyCheck body(watchSpec_.lookFor);
            const auto started = std::chrono::steady_clock::now();
            web_.Get(watchSpec_.address, body);
            // The server may show each family a certificate of its own; each warns once.
            if (std::optional<PeerCertificate> certificate = web_.ServerCertificate()) {
                const auto& seen = outcome_.certificates;
                if (std::none_of(seen.begin(), seen.end(), [&](const PeerCertificate& c) {
                        return c.issuer == certificate->issuer && c.serialNumber == certificate->serialNumber;
                    })) {
                    outcome_.certificates.push_back(std::move(*certificate));
                }
            }
            result.responseTime =
                std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
            outcome_.pageLength = body.Length();
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
            outcome_.familyFailures.push_back(result.reason);
            view_.AddStatusLine(result.reason);
            if (!firstFailedPage) firstFailedPage.emplace(outcome_.pageLength, outcome_.textFound);
        }
        results.push_back(result);
    }
    if (firstFailedPage) std::tie(outcome_.pageLength, outcome_.textFound) = *firstFailedPage;
    NoteReply();
    outcome_.result = CombinedResult(results);
    results_.ResultKnown(outcome_);
    if (outcome_.result.state == ResultState::Down) results_.FailureSeen(outcome_);
    CheckCertificates();
}

void Watch::NoteReply() {
    outcome_.statusLine = web_.ResponseText();
    outcome_.statusCode = web_.ResponseCode();
}

void Watch::Failed(const std::string& reason) {
    WatchResult& result = outcome_.result;
    if (result.state == ResultState::Unknown) {
        result.state = ResultState::Down;
        result.reason = reason;
        results_.ResultKnown(outcome_);
    }
    results_.FailureSeen(outcome_);
}

void Watch::CheckContent(const BodyCheck& body) {
    if (const std::optional<std::string> failure = ContentFailure(body)) {
        NoteReply();
        Failed(*failure);
    }
}

std::optional<std::string> Watch::ContentFailure(const BodyCheck& body) {
    outcome_.textFound = false;
    view_.RepaintStatusPane();
    if (!Trim(watchSpec_.expectedSize).empty()) {
        const int32_t expected = StrToInt(watchSpec_.expectedSize);
        if (static_cast<int64_t>(expected) < body.Length()) return SizeOverReason(body.Length(), expected);
        return std::nullopt;
    }
    if (!body.Found()) return kTextMissingReason;
    outcome_.textFound = true;
    return std::nullopt;
}

std::optional<std::string> Watch::OfflineReasonFor(const std::string& host, AddressFamily family,
                                                   const FamilyPass* pass, ReferenceProbe probe) {
    if (!watchSpec_.offlineAware) return std::nullopt;
    SystemNetworkProbes probes(probe);
    return OfflineReason(pass ? pass->lookup : LookupAddresses(host, family), watchSpec_.referenceHost, probes);
}

void Watch::ReportOffline(const WatchResult& result) {
    view_.AddResultLine(std::chrono::system_clock::to_time_t(result.time),
                        "Offline (" + result.reason + "): this watch is not counted");
}

void Watch::CheckCertificates() {
    for (const PeerCertificate& certificate : outcome_.certificates) results_.CheckCertificate(certificate);
}

}  // namespace corvasse

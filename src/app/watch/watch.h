#pragma once
// One watch: a web watch (fetch and content check, alert on failure) or a
// ping watch, counted on the status bar. The watch cycle runs one at every
// tick; the plugin runs one alone.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/offline/resume_detector.h"
#include "app/offline/system_network_probes.h"
#include "app/settings/watch_spec.h"
#include "app/watch/family_passes.h"
#include "app/watch/result_keeper.h"
#include "common/suspend_clock.h"
#include "core/history_records.h"
#include "core/watch_outcome.h"

namespace corvasse {

class ActivityLog;
class BodyCheck;
class Dialogs;
class FormFields;
class MonitorView;
class PingClient;
class SettingsStore;
class WebClient;
struct WatchState;

// Connect time-out of every fetch, in milliseconds.
inline constexpr std::chrono::milliseconds kWatchConnectTimeout{120000};

// Why a web watch failed its content check.
inline constexpr const char* kTextMissingReason = "the text was not on the page";
// "2048 bytes, more than the expected 1000"
std::string SizeOverReason(int64_t size, int32_t expected);

class Watch {
public:
    // Every object must outlive this one. The form is read and the view,
    // the dialogs and the clients are used on the thread that calls Run.
    // clock tells the watch whether the computer slept since the last one.
    Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
          WebClient& web, PingClient& pinger, WatchState& state, ResultKeeper& results,
          const SuspendClock& clock = SystemSuspendClock());

    // One watch of what the settings and the form describe (app/settings/watch_spec.h,
    // read once). What it found (the state's outcome) goes to results as it is known,
    // which decide what alerts. An https:// address without "allowHttps" is
    // refused with a message box: no result. Errors of the alert
    // delivery and of the log pass to the caller, and so does AbortedError
    // when the watch is cut (it is then neither reported, recorded nor
    // counted). In outage mode the ping's lines are not logged, and the
    // status bar's second panel says when the next watch runs.
    //
    // "ipFamily=each": the address is fetched (or the host pinged) over
    // IPv4 and over IPv6 in turn. The watch is down when either failed, with
    // a line for each family that did (FamilyFailureText) as its reason, in
    // the pane and in the alert's report; a web watch alerts once. A family
    // the name has no address of is skipped, and the pane says so once.
    //
    // "offlineAware=y": a failure where the site never answered is first
    // put to the offline decision (app/offline/offline_reason.h); when this computer
    // could not have reached the site, the pane gets "Offline (REASON): this
    // watch is not counted", the result is unknown, and nothing else
    // happens: no alert, no log entry, no outage count. The first watch
    // after the computer slept waits "resumeGraceSeconds" first, and the
    // pane says so.
    //
    // After a fetch over https, its certificate goes to results, where it may
    // warn (app/watch/certificate_warnings.h).
    void Run();

private:
    // One ping over one family: its result, and what its lines show.
    struct PingOutcome {
        WatchResult result;
        int responseTime = 0;
        // With "ipFamily=each", the line that names the failed family.
        std::string familyFailure;
    };

    void WaitAfterSleep();
    std::optional<FamilyPlan> EachFamilyPlan(const std::string& host);
    void RunPingWatch();
    PingOutcome PingOver(AddressFamily family, const FamilyPass* pass);
    void ShowPing(const PingOutcome& outcome);
    // False when the address is refused.
    bool RunWebWatch();
    void RunWebWatchOverEachFamily(const std::string& host, const FamilyPlan& plan);
    // The client's reply, for the report.
    void NoteReply();
    void CheckContent(const BodyCheck& body);
    // Why the page fails the content check; none when it passes. Throws
    // ConversionError for an expected size that is not a number.
    std::optional<std::string> ContentFailure(const BodyCheck& body);
    // Why this computer could not have reached host (over the family, or
    // at the addresses of the pass when there is one), when "offlineAware"
    // is on and it could not.
    std::optional<std::string> OfflineReasonFor(const std::string& host, AddressFamily family, const FamilyPass* pass,
                                                ReferenceProbe probe);
    // The pane line of a result that is not counted, with the watch's time.
    void ReportOffline(const WatchResult& result);
    // The first failure of a web watch decides its result; each failure is
    // told to the results, which alert at once without outage mode.
    void Failed(const std::string& reason);
    void CheckCertificates();

    FormFields& form_;
    MonitorView& view_;
    Dialogs& dialogs_;
    SettingsStore& settings_;
    ActivityLog& log_;
    WebClient& web_;
    PingClient& pinger_;
    WatchState& state_;
    ResultKeeper& results_;
    ResumeDetector resume_;
    // The running watch's.
    WatchSpec watchSpec_;
    // The state's.
    WatchOutcome& outcome_;
};

}  // namespace corvasse

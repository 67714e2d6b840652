#pragma once
// One watch: a web watch (fetch and content check, alert on failure) or a
// ping watch, counted on the status bar. The watch cycle runs one at every
// tick; the plugin runs one alone.

#include <cstdint>
#include <optional>
#include <string>

#include "app/family_passes.h"
#include "app/resume_detector.h"
#include "app/system_network_probes.h"
#include "common/suspend_clock.h"

namespace corvasse {

class ActivityLog;
class AlertSender;
class Dialogs;
class FormFields;
class MonitorView;
class PingClient;
class SettingsStore;
class WebClient;
struct WatchState;

// Connect time-out of every fetch, in milliseconds.
inline constexpr int kWatchConnectTimeoutMs = 120000;

class Watch {
public:
    // Every object must outlive this one. The form is read and the view,
    // the dialogs and the clients are used on the thread that calls Run.
    // clock tells the watch whether the computer slept since the last one.
    Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
          WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state,
          const SuspendClock& clock = SystemSuspendClock());

    // One watch. Errors of the alert delivery and of the log pass to the
    // caller, and so does AbortedError when the watch is cut (it is then
    // neither reported nor counted). The setting "allowHttps" ("y") lets
    // https:// addresses through to the client instead of refusing them with
    // a message box.
    //
    // "ipFamily=each": the address is fetched (or the host pinged) over
    // IPv4 and over IPv6 in turn, and a web watch alerts once when either
    // failed, its report naming each family that did. A family the name has
    // no address of is skipped, and the pane says so once.
    //
    // "offlineAware=y": a failure where the site never answered is first
    // put to the offline decision (app/offline_reason.h); when this computer
    // could not have reached the site, the pane gets "Offline (REASON): this
    // watch is not counted" and nothing else happens: no alert, no log
    // entry. The first watch after the computer slept waits
    // "resumeGraceSeconds" first, and the pane says so.
    void Run();

private:
    void WaitAfterSleep();
    std::optional<FamilyPlan> EachFamilyPlan(const std::string& host);
    void RunPingWatch();
    void PingOver(const std::string& host, AddressFamily family, const FamilyPass* pass);
    void RunWebWatch();
    void RunWebWatchOverEachFamily(const std::string& host, const FamilyPlan& plan);
    // The content check: false when the page fails it. Throws ConversionError
    // for an expected size that is not a number.
    bool ContentPasses();
    // Why this computer could not have reached host (over the family, or
    // at the addresses of the pass when there is one), when "offlineAware"
    // is on and it could not.
    std::optional<std::string> OfflineReasonFor(const std::string& host, AddressFamily family, const FamilyPass* pass,
                                                ReferenceProbe probe);
    void ReportOffline(const std::string& reason);

    FormFields& form_;
    MonitorView& view_;
    Dialogs& dialogs_;
    SettingsStore& settings_;
    ActivityLog& log_;
    WebClient& web_;
    PingClient& pinger_;
    AlertSender& alert_;
    WatchState& state_;
    ResumeDetector resume_;
};

}  // namespace corvasse

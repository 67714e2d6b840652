#pragma once
// What becomes of each watch's result. It goes to the history database, and
// in outage mode ("outageAlerts" is "y") the outage model says what to do
// about it: the pane line with its time, the alert once per outage with
// "Reason: REASON", the reminders, the recovery mail and its log record, the
// notices that an outage began or ended. A history that cannot be opened or
// written, and outage settings that cannot be used, are said once (with the
// file's path and SQLite's reason); the watch then alerts as it would
// without outage mode, so that neither is ever a reason to miss an alert.
// Used by one thread at a time; the history is opened by the first watch,
// which shares its connections with the process's other watches.

#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "app/alert/alert_sender.h"
#include "app/settings/outage_settings.h"
#include "app/settings/watch_spec.h"
#include "app/view/said_once.h"
#include "app/watch/certificate_warnings.h"
#include "core/history_records.h"
#include "core/wall_clock.h"

namespace corvasse {

class ActivityLog;
class HistoryError;
class HistoryStorePool;
class MonitorView;
class OutageTracker;
class WatchSchedule;
struct OutageAction;
struct PeerCertificate;
struct WatchOutcome;

// What a front end keeps of its watches.
enum class WatchRecording {
    None,               // nothing, and no outage mode (the plugin without --alert or --history)
    ResultsOnly,        // every result, without outage mode (the plugin with --history alone)
    ResultsAndOutages,  // every result, and outage mode when the settings ask for it
};

class ResultKeeper {
public:
    // Every object must outlive this one. Results are stamped by clock.
    ResultKeeper(MonitorView& view, ActivityLog& log, AlertSender& alert, const WatchSchedule& schedule,
                 std::filesystem::path settingsFile, std::filesystem::path historyFile, WatchRecording recording,
                 WallClock clock = SystemTime);
    ~ResultKeeper();
    ResultKeeper(const ResultKeeper&) = delete;
    ResultKeeper& operator=(const ResultKeeper&) = delete;

    // A watch begins: takes its outage settings (a problem with them
    // is said once), opens the history when it is not open and finds the
    // watch in it. Outage mode holds for the watch when the settings ask for
    // it and the history could be used.
    void Begin(const WatchSpec& watchSpec);

    // The time to stamp a result with.
    ResultTime Now() const { return clock_(); }

    // Whether the running watch is in outage mode.
    bool ByOutage() const { return outage_ && watch_; }

    // The watch tells what it found as it is known. Without outage mode each
    // result is recorded as soon as it is known (ResultKnown), and each
    // failure of a web watch alerts at once (FailureSeen; the alert's error
    // passes to the caller); in outage mode both wait for Conclude.
    void ResultKnown(const WatchOutcome& outcome);
    void FailureSeen(const WatchOutcome& outcome);

    // After the watch: first sends again what a channel failed to deliver
    // (AlertSender::SendUndelivered). Then, in outage mode, records the
    // result and does what the outage model asks. Each notice is tried; the
    // first error then passes to the caller (a notice that no channel
    // delivered is asked for again with the next result; one that some
    // channel delivered counts as sent). AbortedError passes at once.
    void Conclude(const WatchOutcome& outcome);

    // The certificate that brought the running watch's page: it may warn
    // (app/watch/certificate_warnings.h). AbortedError passes to the caller.
    void CheckCertificate(const PeerCertificate& certificate);

    // Whether the running watch's warning went out before: in this run, or
    // (with the history) in any run before it.
    bool CertificateWarningSent(const CertificateWarning& warning);
    // The warning went out: kept in the history, and in memory for a run
    // without one.
    void CertificateWarningMailed(const CertificateWarning& warning);

    // The status bar's second panel after a watch in outage mode, "Next watch
    // at 14:04:07"; none without outage mode or without a next watch.
    std::optional<std::string> NextWatchText() const;

private:
    void OpenWatch(const std::string& target);
    void HistoryFailed(const HistoryError& error);
    // The same during a certificate's warning, which may come before the
    // result is concluded: the watch keeps its place in the history until
    // then, and the next watch opens the database afresh.
    void CertificateHistoryFailed(const HistoryError& error);
    // Says a problem unless it was the last one said there.
    void Act(OutageTracker& tracker, const OutageAction& action, const WatchOutcome& outcome);
    // An outage's first alert. It counts as possibly sent from the moment its
    // message is handed over to the server, before the reply: a stop or a
    // kill while the server holds that reply then still ends the outage with
    // a recovery mail (and the alert is sent again, the lesser evil).
    void SendFirstAlert(OutageTracker& tracker, const OutageAction& action, const WatchOutcome& outcome,
                        OutageAlert alert);
    // The recovery's report, logged; its date line is now.
    std::string LoggedRecovery(const Outage& outage);

    MonitorView& view_;
    ActivityLog& log_;
    AlertSender& alert_;
    const WatchSchedule& schedule_;
    std::filesystem::path settingsFile_;
    std::filesystem::path historyFile_;
    WatchRecording recording_;
    WallClock clock_;

    CertificateWarnings certificates_;
    // Shared with the other watches of the history file; taken by the first watch.
    std::shared_ptr<HistoryStorePool> stores_;
    SaidOnce historySaid_;
    SaidOnce settingsSaid_;

    // The running watch's.
    WatchSpec watchSpec_;
    std::optional<WatchId> watch_;
    std::optional<OutageSettings> outage_;

    // The certificate warnings mailed in this run: target, issuer, serial, kind.
    std::set<std::tuple<std::string, std::string, std::string, CertificateWarningKind>> certificateWarningsMailed_;
};

}  // namespace corvasse

#pragma once
// One watch: a web watch (fetch and content check, alert on failure) or a
// ping watch, counted on the status bar. The watch cycle runs one at every
// tick; the plugin runs one alone.

#include <cstdint>
#include <optional>
#include <string>

#include "app/certificate_warnings.h"
#include "app/result_keeper.h"
#include "history/history_records.h"

namespace corvasse {

class ActivityLog;
class AlertSender;
class BodyCheck;
class Dialogs;
class FormFields;
class MonitorView;
class PingClient;
class SettingsStore;
class WebClient;
struct WatchState;

// Connect time-out of every fetch, in milliseconds.
inline constexpr int kWatchConnectTimeoutMs = 120000;

// Why a web watch failed its content check.
inline constexpr const char* kTextMissingReason = "the text was not on the page";
// "2048 bytes, more than the expected 1000"
std::string SizeOverReason(int64_t size, int32_t expected);

class Watch {
public:
    // Every object must outlive this one. The form is read and the view,
    // the dialogs and the clients are used on the thread that calls Run.
    Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
          WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state, ResultKeeper& results);

    // One watch. Its result (up, or down with the failure's own words; the
    // response time; the page's size) goes to results. Errors of the alert
    // delivery and of the log pass to the caller, and so does AbortedError
    // when the watch is cut (it is then neither reported, recorded nor
    // counted). The setting "allowHttps" ("y") lets https:// addresses
    // through to the client instead of refusing them with a message box (a
    // refused address is no result). In outage mode the results decide the
    // alerts after the watch, the ping's lines are not logged, and the
    // status bar's second panel says when the next watch runs. After a
    // fetch over https, its certificate may warn (app/certificate_warnings.h).
    void Run();

private:
    WatchResult RunPingWatch();
    std::optional<WatchResult> RunWebWatch();
    void CheckContent(const BodyCheck& body, WatchResult& result);
    // The first failure of a web watch decides its result; without outage
    // mode each failure also alerts at once.
    void Failed(WatchResult& result, const std::string& reason);

    FormFields& form_;
    MonitorView& view_;
    Dialogs& dialogs_;
    SettingsStore& settings_;
    ActivityLog& log_;
    WebClient& web_;
    PingClient& pinger_;
    AlertSender& alert_;
    WatchState& state_;
    ResultKeeper& results_;
    CertificateWarnings certificates_;
    // The running watch's.
    FailureAlerts alerts_ = FailureAlerts::AtOnce;
};

}  // namespace corvasse

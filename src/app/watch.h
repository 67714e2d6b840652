#pragma once
// One watch: a web watch (fetch and content check, alert on failure) or a
// ping watch, counted on the status bar. The watch cycle runs one at every
// tick; the plugin runs one alone.

#include <cstdint>
#include <string>

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

class Watch {
public:
    // Every object must outlive this one. The form is read and the view,
    // the dialogs and the clients are used on the thread that calls Run.
    Watch(FormFields& form, MonitorView& view, Dialogs& dialogs, SettingsStore& settings, ActivityLog& log,
          WebClient& web, PingClient& pinger, AlertSender& alert, WatchState& state);

    // One watch. Errors of the alert delivery and of the log pass to the
    // caller, and so does AbortedError when the watch is cut (it is then
    // neither reported nor counted). The setting "allowHttps" ("y") lets
    // https:// addresses through to the client instead of refusing them with
    // a message box.
    void Run();

private:
    void RunPingWatch();
    void RunWebWatch();
    void CheckContent(const BodyCheck& body);

    FormFields& form_;
    MonitorView& view_;
    Dialogs& dialogs_;
    SettingsStore& settings_;
    ActivityLog& log_;
    WebClient& web_;
    PingClient& pinger_;
    AlertSender& alert_;
    WatchState& state_;
};

}  // namespace corvasse

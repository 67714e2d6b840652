#pragma once
// What every front end's watch runs on, wired once: the settings store, the
// activity log, the watch state, the network clients with their event
// reports, the alert (report and delivery), the schedule of the watches and
// what keeps their results (history and outage mode). The window's and the
// service's watches run over it (through their watch runner); the plugin
// runs its watch over it with the clients behind its timing and
// failure-keeping wrappers. Every part is used by one thread at a time, but
// for the schedule, which the watch cycle's thread writes.

#include "app/alert/alert_delivery.h"
#include "app/alert/alert_report.h"
#include "app/monitor/monitor.h"
#include "app/settings/settings_store.h"
#include "app/view/activity_log.h"
#include "app/view/http_event_report.h"
#include "app/view/mail_event_report.h"
#include "app/view/ping_error_report.h"
#include "app/watch/http_web_client.h"
#include "app/watch/pinger_ping_client.h"
#include "app/watch/result_keeper.h"
#include "app/watch/watch_schedule.h"
#include "app/watch/watch_state.h"
#include "http/http_client.h"
#include "mail/mail_message.h"
#include "mail/pop3_client.h"
#include "mail/smtp_client.h"
#include "net/tls_io_handler.h"
#include "ping/pinger.h"

namespace corvasse {

struct MonitorComponents {
    // Status lines and progress go to view. The watches' mails go to mails
    // when it is given (a sender that may pass them on to alert), else to
    // alert.
    MonitorComponents(MonitorView& view, const MonitorFiles& files,
                      WatchRecording recording = WatchRecording::ResultsAndOutages, AlertSender* mails = nullptr);
    MonitorComponents(const MonitorComponents&) = delete;
    MonitorComponents& operator=(const MonitorComponents&) = delete;

    SettingsStore settings;
    ActivityLog log;
    WatchState state;

    HttpClient httpClient;
    HttpEventReport httpEvents;
    HttpWebClient web;
    // The two mail clients take turns on one socket handler, which can also
    // speak TLS when the "mailSecurity" setting asks for it.
    TlsIOHandler mailSocketHandler;
    Pop3Client pop3Client;
    SmtpClient smtpClient;
    MailEventReport pop3Events;
    MailEventReport smtpEvents;
    MailMessage alertMessage;
    Pinger pinger;
    PingerPingClient pingClient;
    PingErrorReport pingEvents;

    AlertReport report;
    AlertDelivery alert;

    WatchSchedule schedule;
    ResultKeeper results;
};

}  // namespace corvasse

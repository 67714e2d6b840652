#include "app/monitor.h"

#include "app/activity_log.h"
#include "app/alert_delivery.h"
#include "app/alert_report.h"
#include "app/http_event_report.h"
#include "app/http_web_client.h"
#include "app/mail_event_report.h"
#include "app/ping_error_report.h"
#include "app/pinger_ping_client.h"
#include "app/settings_form.h"
#include "app/settings_store.h"
#include "app/watch_cycle.h"
#include "app/watch_state.h"
#include "http/http_client.h"
#include "mail/mail_message.h"
#include "mail/pop3_client.h"
#include "mail/smtp_client.h"
#include "net/tls_io_handler.h"
#include "ping/pinger.h"

namespace corvasse {

struct Monitor::Parts {
    Parts(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, EventPump& pump,
          const MonitorFiles& files)
        : settings(SettingsStore::AtFile(files.settings)),
          log(files.log),
          httpEvents(view),
          pop3Events(view, MailProtocol::Pop3),
          smtpEvents(view, MailProtocol::Smtp),
          pinger(&pump),
          pingClient(pinger),
          pingEvents(view, log),
          web(httpClient),
          report(form, settings, web, state, log),
          alert(report, form, settings, view, pop3Client, smtpClient, alertMessage),
          cycle(form, view, dialogs, timer, settings, log, web, pingClient, alert, state),
          settingsForm(form, view, dialogs, settings) {
        httpEvents.Bind(httpClient);
        // The two mail clients take turns on one socket handler, which can
        // also speak TLS when the "mailSecurity" setting asks for it.
        pop3Client.SetIOHandler(&mailSocketHandler);
        smtpClient.SetIOHandler(&mailSocketHandler);
        pop3Events.Bind(pop3Client);
        smtpEvents.Bind(smtpClient);
        pingEvents.Bind(pinger);
    }

    SettingsStore settings;
    ActivityLog log;
    WatchState state;

    HttpClient httpClient;
    HttpEventReport httpEvents;
    TlsIOHandler mailSocketHandler;
    Pop3Client pop3Client;
    SmtpClient smtpClient;
    MailEventReport pop3Events;
    MailEventReport smtpEvents;
    MailMessage alertMessage;
    Pinger pinger;
    PingerPingClient pingClient;
    PingErrorReport pingEvents;

    HttpWebClient web;
    AlertReport report;
    AlertDelivery alert;
    WatchCycle cycle;
    SettingsForm settingsForm;
};

MonitorFiles MonitorFiles::InFolder(const std::filesystem::path& settingsFolder) {
    return MonitorFiles{settingsFolder / kSettingsFileName};
}

Monitor::Monitor(FormFields& form, MonitorView& view, Dialogs& dialogs, IntervalTimer& timer, EventPump& pump,
                 const MonitorFiles& files)
    : parts_(std::make_unique<Parts>(form, view, dialogs, timer, pump, files)) {}

Monitor::~Monitor() = default;

SettingsStore& Monitor::Settings() { return parts_->settings; }
ActivityLog& Monitor::Log() { return parts_->log; }
SettingsForm& Monitor::Form() { return parts_->settingsForm; }
WatchCycle& Monitor::Cycle() { return parts_->cycle; }
const WatchState& Monitor::State() const { return parts_->state; }

}  // namespace corvasse

#include "app/monitor_components.h"

namespace corvasse {

MonitorComponents::MonitorComponents(FormFields& form, MonitorView& view, const MonitorFiles& files,
                                     WatchRecording recording)
    : settings(SettingsStore::AtFile(files.settings)),
      log(files.log),
      httpEvents(view),
      web(httpClient),
      pop3Events(view, MailProtocol::Pop3),
      smtpEvents(view, MailProtocol::Smtp),
      pingClient(pinger),
      pingEvents(view, log),
      report(form, settings, web, state, log, view),
      alert(report, form, settings, view, pop3Client, smtpClient, alertMessage),
      results(settings, view, log, alert, schedule, files.settings, files.history, recording) {
    httpEvents.Bind(httpClient);
    pop3Client.SetIOHandler(&mailSocketHandler);
    smtpClient.SetIOHandler(&mailSocketHandler);
    pop3Events.Bind(pop3Client);
    smtpEvents.Bind(smtpClient);
    pingEvents.Bind(pinger);
}

}  // namespace corvasse

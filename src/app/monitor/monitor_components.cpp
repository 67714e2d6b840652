#include "app/monitor/monitor_components.h"

namespace corvasse {

MonitorComponents::MonitorComponents(MonitorView& view, const MonitorFiles& files, WatchRecording recording,
                                     AlertSender* mails)
    : settings(SettingsStore::AtFile(files.settings)),
      log(files.log),
      httpEvents(view),
      web(httpClient),
      pop3Events(view, MailProtocol::Pop3),
      smtpEvents(view, MailProtocol::Smtp),
      pingClient(pinger),
      pingEvents(view, log),
      report(log, view),
      alert(report, view, pop3Client, smtpClient, alertMessage),
      results(view, log, mails ? *mails : alert, schedule, files.settings, files.history, recording) {
    httpEvents.Bind(httpClient);
    pop3Client.SetIOHandler(&mailSocketHandler);
    smtpClient.SetIOHandler(&mailSocketHandler);
    pop3Events.Bind(pop3Client);
    smtpEvents.Bind(smtpClient);
    pingEvents.Bind(pinger);
}

}  // namespace corvasse

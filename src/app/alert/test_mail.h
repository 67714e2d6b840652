#pragma once
// "Send Test": a short message through the delivery as the form configures
// it (its SMTP host, login, POP before SMTP, security and port, the ntfy and
// webhook addresses, whether saved or not), so that a person setting up a
// watch learns at once whether alerts would reach them.

namespace corvasse {

class AlertDelivery;
class Dialogs;
class FormFields;
class MonitorView;
class SettingsStore;

// Sends the test message to the send-to addresses and the test notice to
// the other channels set; a box then says where it went ("The test mail went
// out to a@example.org.", "The test notice went out to ntfy and the
// webhook.") and where not ("Not sent to ntfy: REASON"), or the error box
// says why it went nowhere. AbortedError passes to the caller.
void SendTestMail(AlertDelivery& delivery, const FormFields& form, const SettingsStore& settings, MonitorView& view,
                  Dialogs& boxes);

}  // namespace corvasse

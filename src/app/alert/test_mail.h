#pragma once
// "Send Test Mail": a short message through the delivery as the form
// configures it (its SMTP host, login, POP before SMTP, security and port,
// whether saved or not), so that a person setting up a watch learns at once
// whether alerts would reach them.

namespace corvasse {

class AlertDelivery;
class Dialogs;
class FormFields;
class MonitorView;
class SettingsStore;

// Sends the test message to the send-to addresses; a box then says that it
// went out ("The test mail went out to a@example.org."), or the error box
// says why it did not. AbortedError passes to the caller.
void SendTestMail(AlertDelivery& delivery, const FormFields& form, const SettingsStore& settings, MonitorView& view,
                  Dialogs& boxes);

}  // namespace corvasse

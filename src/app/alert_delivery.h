#pragma once
// Turns a failed watch into an e-mail: composes and logs the report, logs in
// to the POP3 server first when "POP before SMTP" is on, configures the SMTP
// client from the saved settings, fills the alert message and sends it.

#include <optional>
#include <string_view>

#include "app/alert_sender.h"

namespace corvasse {

class AlertReport;
class FormFields;
class MailMessage;
class MonitorView;
class Pop3Client;
class SettingsStore;
class SmtpClient;

// The footer line of every alert: "Corvasse " and this notice.
inline constexpr std::string_view kPublisherNotice = "web watch alert, published by the Corvasse project.";
inline constexpr std::string_view kAlertSubject = "Corvasse Alert";
// The pane line of an alert whose mail dialogue the user cut.
inline constexpr std::string_view kAlertAbortedLine = "E-mail alert aborted, not sent...";
// The message's charset when the "charSet" setting is missing and the alert
// is all ASCII.
inline constexpr std::string_view kDefaultAlertCharSet = "iso-8859-1";
// The same when some of its text is beyond ASCII: the window hands over UTF-8.
inline constexpr std::string_view kUtf8AlertCharSet = "utf-8";

class AlertDelivery : public AlertSender {
public:
    // Every object must outlive this one. The two clients share one socket
    // I/O handler and are used strictly one after the other.
    AlertDelivery(AlertReport& report, FormFields& form, SettingsStore& settings, MonitorView& view,
                  Pop3Client& pop3Client, SmtpClient& smtpClient, MailMessage& alertMessage);

    // Delivers one alert. The report is in the log before anything goes on
    // the network; a log that cannot be written is shown as a pane line and
    // the alert is delivered all the same. Settings are read afresh; a user name, password,
    // authentication type or port that reads "n/a" leaves the SMTP client's
    // previous value. An alert beyond ASCII declares its charset ("charSet",
    // else UTF-8) on its text part, sent quoted-printable, and in the encoded
    // words of its display names; an all-ASCII alert is 7bit text.
    // "mailSecurity" "starttls" or "tls" protects both mail dialogues
    // (STARTTLS/STLS, or TLS on ports 465/995); then a missing "port" means
    // 587 for STARTTLS and 465 for TLS, and POP3 with TLS uses 995.
    // "ipFamily" keeps both connections to one address family. The first
    // error of any step passes to the caller; a POP3 or SMTP connection that
    // step left open is closed first, so the next alert can connect again.
    // Throws ConversionError for a "port" that is not a number (before any
    // SMTP connection), the settings store's, the clients' and the
    // message's errors. When the user cuts the mail dialogue (AbortedError
    // through the thread's abort signal), the pane says that the alert was
    // not sent.
    void SendAlert() override;

private:
    // Everything after the report: POP3 login, SMTP configuration, sending.
    void Deliver();
    void LoginViaPop();
    void ConfigureSmtp();
    void FillMessage(const std::string& charSetSetting);

    AlertReport& report_;
    FormFields& form_;
    SettingsStore& settings_;
    MonitorView& view_;
    Pop3Client& pop3Client_;
    SmtpClient& smtpClient_;
    MailMessage& alertMessage_;
    // The ports the clients had before mail security gave them its default;
    // without that default they return to them, as if it had never been.
    std::optional<int> smtpPortBeforeDefault_;
    std::optional<int> pop3PortBeforeDefault_;
};

}  // namespace corvasse

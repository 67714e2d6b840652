#include "app/alert_delivery.h"

#include <optional>
#include <string>
#include <vector>

#include "app/alert_report.h"
#include "app/form_fields.h"
#include "app/monitor_view.h"
#include "app/setting_keys.h"
#include "app/settings_store.h"
#include "common/byte_string.h"
#include "common/process_abort.h"
#include "common/utf8_text.h"
#include "mail/mail_message.h"
#include "mail/pop3_client.h"
#include "mail/smtp_client.h"

namespace corvasse {

namespace {

// Lines split at every LF, CR or CR LF; a final line end adds no empty line.
std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

// The charset the alert declares: the "charSet" setting when there is one;
// else ISO-8859-1 for an all-ASCII alert, and UTF-8, the text the window
// hands over, for one beyond ASCII.
std::string AlertCharSet(const std::string& setting, bool asciiAlert) {
    if (setting != kAbsentSetting) return setting;
    return std::string(asciiAlert ? kDefaultAlertCharSet : kUtf8AlertCharSet);
}

// Runs a step and, when it fails, closes the client's connection before the
// error passes on. Closing first matters because both clients share one
// socket I/O handler: a connection left open would make the next alert's
// connect fail as already connected.
template <typename Client, typename Step>
void ClosingOnFailure(Client& client, Step step) {
    try {
        step();
    } catch (...) {
        try {
            client.Disconnect();
        } catch (...) {
            // The step's error is the one worth reporting.
        }
        throw;
    }
}

MailSecurity SecurityFromSetting(const std::string& value) {
    if (value == kMailSecurityStartTls) return MailSecurity::StartTls;
    if (value == kMailSecurityTls) return MailSecurity::Tls;
    return MailSecurity::None;
}

// Gives a client the port of one alert: the one chosen, else the default
// that its security asks for (remembering the port it replaces), else the
// port it had before any such default.
void ApplyPort(TcpClient& client, std::optional<int>& replaced, std::optional<int> chosen,
               std::optional<int> byDefault) {
    if (chosen) {
        client.Port = *chosen;
        replaced.reset();
    } else if (byDefault) {
        if (!replaced) replaced = client.Port;
        client.Port = *byDefault;
    } else if (replaced) {
        client.Port = *replaced;
        replaced.reset();
    }
}

}  // namespace

AlertDelivery::AlertDelivery(AlertReport& report, FormFields& form, SettingsStore& settings, MonitorView& view,
                             Pop3Client& pop3Client, SmtpClient& smtpClient, MailMessage& alertMessage)
    : report_(report),
      form_(form),
      settings_(settings),
      view_(view),
      pop3Client_(pop3Client),
      smtpClient_(smtpClient),
      alertMessage_(alertMessage) {}

void AlertDelivery::SendAlert() {
    report_.build_msg();
    view_.SetStatusText("Sending e-mail alert...");
    view_.AddStatusLine("Sending e-mail alert...");
    report_.AlertText += "\n\fCorvasse " + std::string(kPublisherNotice) + "\n\f";
    try {
        Deliver();
    } catch (const AbortedError&) {
        // The user cut the mail dialogue: say that this alert is lost. A
        // shutdown of the whole program goes without a word, as it always did.
        if (!ProcessAbortRaised()) view_.AddStatusLine(std::string(kAlertAbortedLine));
        throw;
    }
}

void AlertDelivery::Deliver() {
    const MailSecurity security = SecurityFromSetting(ReadSetting(settings_, setting::mailSecurity));
    pop3Client_.Security = security;
    smtpClient_.Security = security;
    const AddressFamily family = AddressFamilySetting(settings_);
    pop3Client_.Family = family;
    smtpClient_.Family = family;
    if (IsSettingOn(settings_, setting::ckPOPbefore)) LoginViaPop();

    ConfigureSmtp();
    const std::string charSetSetting = ReadSetting(settings_, setting::charSet);
    const std::string port = ReadSetting(settings_, setting::port);
    const std::optional<int> smtpDefault = security == MailSecurity::StartTls ? std::optional(kSmtpStartTlsPort)
                                           : security == MailSecurity::Tls    ? std::optional(kSmtpTlsPort)
                                                                              : std::nullopt;
    ApplyPort(smtpClient_, smtpPortBeforeDefault_,
              port != kAbsentSetting ? std::optional(StrToInt(port)) : std::nullopt, smtpDefault);

    ClosingOnFailure(smtpClient_, [&] {
        smtpClient_.Connect(Wait::Default());
        FillMessage(charSetSetting);
        smtpClient_.Send(alertMessage_);
        smtpClient_.Disconnect();
    });
    alertMessage_.MessageParts.clear();
}

void AlertDelivery::LoginViaPop() {
    pop3Client_.Host = ReadSetting(settings_, setting::txtSMTPhost);
    ApplyPort(pop3Client_, pop3PortBeforeDefault_, std::nullopt,
              pop3Client_.Security == MailSecurity::Tls ? std::optional(kPop3TlsPort) : std::nullopt);
    pop3Client_.Username = ReadSetting(settings_, setting::txtUserid);
    pop3Client_.Password = ReadSetting(settings_, setting::txtPass);
    view_.AddStatusLine("*** Connecting via POP...");
    view_.RepaintStatusPane();
    ClosingOnFailure(pop3Client_, [&] {
        if (!pop3Client_.IsConnected()) pop3Client_.Connect(Wait::Default());
        view_.AddStatusLine("*** POP connected...");
        const int count = pop3Client_.CheckMessages();
        view_.AddStatusLine("*** Total Messages: " + std::to_string(count));
        view_.RepaintStatusPane();
        pop3Client_.Disconnect();
    });
}

void AlertDelivery::ConfigureSmtp() {
    smtpClient_.Host = ReadSetting(settings_, setting::txtSMTPhost);
    if (std::string user = ReadSetting(settings_, setting::txtUserid); user != kAbsentSetting) {
        smtpClient_.Username = user;
    }
    if (std::string password = ReadSetting(settings_, setting::txtPass); password != kAbsentSetting) {
        smtpClient_.Password = password;
    }
    if (std::string type = ReadSetting(settings_, setting::cboAuthType); type != kAbsentSetting) {
        smtpClient_.SetAuthenticationType(type == kAuthTypeLogin ? AuthType::Login : AuthType::None);
    }
}

void AlertDelivery::FillMessage(const std::string& charSetSetting) {
    alertMessage_.ResetMessage();
    const std::string ownAddress = form_.Text(Field::txtYourEmail);
    const std::string sendTo = form_.Text(Field::txtSendto);
    alertMessage_.From.Address = ownAddress;
    alertMessage_.From.Name = ownAddress;
    alertMessage_.Sender.Address = sendTo;
    const std::string user = ReadSetting(settings_, setting::txtUserid);
    alertMessage_.Sender.Name = user == kAbsentSetting ? ownAddress : user;
    alertMessage_.Recipients.AddressListText("<" + sendTo + ">");
    alertMessage_.Subject = kAlertSubject;
    // Replies go to the From address, the user's own; no Reply-To is set.

    const bool asciiText = IsAscii(report_.AlertText);
    const bool asciiAlert = asciiText && IsAscii(alertMessage_.From.Name) && IsAscii(alertMessage_.Sender.Name);
    const std::string charSet = AlertCharSet(charSetSetting, asciiAlert);
    alertMessage_.CharSet = charSet;
    // Encoded words in the display names name the charset the bytes are in,
    // not the one the locale would pick.
    alertMessage_.OnInitializeISO = nullptr;
    if (!asciiAlert) {
        alertMessage_.OnInitializeISO = [charSet](HeaderCharset& header) {
            header = HeaderCharset{charSet, 'Q', TransferMode::EightBit};
        };
    }

    TextPart& part = alertMessage_.AddTextPart(SplitLines(report_.AlertText));
    if (asciiText) {
        part.SetContentType("text/plain");
        part.SetContentTransfer("7bit");
    } else {
        part.SetContentType("text/plain; charset=\"" + charSet + "\"");
        part.SetContentTransfer("quoted-printable");
    }
}

}  // namespace corvasse

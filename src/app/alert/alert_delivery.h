#pragma once
// Turns a failed watch into notices: composes and logs the report, then
// sends it by mail - logging in to the POP3 server first when "POP before
// SMTP" is on, configuring the SMTP client from the watch's mail settings,
// filling the alert message - and posts it to the channels beside the mail
// (ntfy, a webhook) that are set.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/alert/alert_sender.h"

namespace corvasse {

class AlertReport;
struct ChannelSettings;
struct MailSettings;
class MailMessage;
class MonitorView;
class Pop3Client;
class SmtpClient;
struct Mailbox;

// The footer line of every alert: "Corvasse " and this notice.
inline constexpr std::string_view kPublisherNotice = "web watch alert, published by the Corvasse project.";
inline constexpr std::string_view kAlertSubject = "Corvasse Alert";
// An outage's alert and its recovery name the address after them:
// "Corvasse Alert: ADDRESS", "Corvasse Recovered: ADDRESS".
inline constexpr std::string_view kRecoverySubject = "Corvasse Recovered";
inline constexpr std::string_view kTestMailSubject = "Corvasse Test";
inline constexpr std::string_view kCertificateWarningSubject = "Corvasse Certificate Warning";
// What the status bar and the pane say while each kind of mail goes out.
inline constexpr std::string_view kAlertSendingText = "Sending e-mail alert...";
inline constexpr std::string_view kRecoverySendingText = "Sending recovery e-mail...";
inline constexpr std::string_view kTestMailSendingText = "Sending test e-mail...";
inline constexpr std::string_view kCertificateWarningSendingText = "Sending certificate warning e-mail...";
// The test message's line after the date line, on every channel.
inline constexpr std::string_view kTestMailText =
    "This is a test message from Corvasse: its alerts reach this address.";
// What the status bar and the pane say while a notice goes to ntfy and to
// the webhook.
inline constexpr std::string_view kNtfySendingText = "Sending ntfy notice...";
inline constexpr std::string_view kWebhookSendingText = "Sending webhook notice...";
// Notices that a channel failed to deliver wait for the next result, at
// most this many; beyond them the oldest is given up, and said.
inline constexpr size_t kUndeliveredMaximum = 20;
// The pane line of an alert whose mail dialogue the user cut.
inline constexpr std::string_view kAlertAbortedLine = "E-mail alert aborted, not sent...";
// The message's charset when the "charSet" setting is missing and the alert
// is all ASCII.
inline constexpr std::string_view kDefaultAlertCharSet = "iso-8859-1";
// The same when some of its text is beyond ASCII: the window hands over UTF-8.
inline constexpr std::string_view kUtf8AlertCharSet = "utf-8";

// The ways a notice goes out.
enum class NoticeChannel { Mail, Ntfy, Webhook };

// What "Send Test" reached: the mail's addresses, the other channels that
// took the test notice, and a line for each channel that failed ("Not sent
// to the webhook: REASON").
struct TestDelivery {
    bool mailed = false;
    std::vector<std::string> mailedTo;
    std::vector<NoticeChannel> pushed;
    std::vector<std::string> failures;
};

class AlertDelivery : public AlertSender {
public:
    // Every object must outlive this one. The two clients share one socket
    // I/O handler and are used strictly one after the other.
    AlertDelivery(AlertReport& report, MonitorView& view, Pop3Client& pop3Client, SmtpClient& smtpClient,
                  MailMessage& alertMessage);

    // Delivers one alert. The report is in the log before anything goes on
    // the network; a log that cannot be written is shown as a pane line and
    // the alert is delivered all the same. It goes out as the WatchSpec
    // says: by mail when an SMTP host is set or no other channel is, and to
    // ntfy and the webhook when their addresses are set (app/alert/
    // ntfy_request.h, webhook_request.h), each posted over a connection of
    // its own; one channel's failure is said ("Not sent to ntfy: REASON")
    // and never stops the others (app/alert/alert_sender.h).
    // The mail: a user name, password,
    // authentication type or port that reads "n/a" leaves the SMTP client's
    // previous value. An alert beyond ASCII declares its charset ("charSet",
    // else UTF-8) on its text part, sent quoted-printable, and in the encoded
    // words of its display names; an all-ASCII alert is 7bit text, or
    // quoted-printable when a line would pass kMailLineMaxLength.
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
    // not sent. The send-to field is a list of addresses (display names,
    // comments and quotes as mail programs write them, separated by commas):
    // one message, with one RCPT TO for each. A list that cannot be read
    // throws MailboxListError, one without an address MessageError, both
    // before any server is asked. The recipients the server refuses are said
    // one by one ("Not sent to ADDRESS: REPLY", as a failure of the view);
    // the others get the message.
    void SendAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome) override;

    // The same delivery for the other notices: an outage's alert or reminder
    // (the report of AlertReport::BuildOutageReport, Subject "Corvasse
    // Alert: ADDRESS"), the recovery ("Corvasse Recovered: ADDRESS", its
    // report as given), the certificate warning ("Corvasse Certificate
    // Warning", its report as given; nothing logged), each mailed with the
    // footer. What a channel fails to deliver of these while another
    // delivers it waits for SendUndelivered.
    void SendOutageAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome, const OutageAlert& alert) override;
    void SendRecovery(const WatchSpec& watchSpec, const std::string& report, const NoticeFacts& facts) override;
    void SendCertificateWarning(const WatchSpec& watchSpec, const std::string& report,
                                const NoticeFacts& facts) override;
    void SendUndelivered(const WatchSpec& watchSpec) override;

    // "Send Test": the test message ("Corvasse Test", the date line and
    // kTestMailText; nothing logged, no footer) by mail, and the same test
    // notice to the other channels set, as mail and channels say;
    // watch and address name what the notice is about. Throws as an alert
    // when no channel delivered.
    TestDelivery SendTest(const MailSettings& mail, const ChannelSettings& channels, const std::string& watch,
                          const std::string& address);

private:
    // Whether a mail ends with the publisher's footer.
    enum class Footer { Publisher, None };
    // What becomes of the channels that fail while another delivers.
    enum class Undelivered { Dropped, Kept };

    // One notice on its way.
    struct Outgoing {
        std::string_view sendingText;  // the mail's
        Notice notice;
        Footer footer = Footer::Publisher;
    };
    // What one notice reached.
    struct Delivery {
        std::vector<std::string> mailedTo;
        std::vector<NoticeChannel> delivered;
        std::vector<NoticeChannel> failed;
        std::vector<std::string> failures;
    };
    struct Kept {
        NoticeChannel channel;
        Outgoing outgoing;
    };

    Notice NoticeFor(const WatchSpec& watchSpec, NoticeFacts facts, std::string subject, std::string text) const;
    // Sends the notice on every channel that mail and channels set; returns
    // what it reached when one channel delivered, else throws the first
    // error (the others said as failures of the view). handingOver as in
    // OutageAlert.
    Delivery Send(const Outgoing& outgoing, const MailSettings& mail, const ChannelSettings& channels,
                  const std::function<void()>& handingOver = {});
    // Send, then for a notice that some channels failed to deliver: keeps
    // it for them when asked, and throws NoticePartlyFailedError.
    void Tell(const Outgoing& outgoing, const WatchSpec& watchSpec, Undelivered undelivered,
              const std::function<void()>& handingOver = {});
    // One channel; returns the mail's addresses.
    std::vector<std::string> SendOn(NoticeChannel channel, const Outgoing& outgoing, const MailSettings& mail,
                                    const ChannelSettings& channels, const std::function<void()>& handingOver);
    // Says sendingText, adds the footer to the text when asked and mails
    // it; returns the addresses it went to.
    std::vector<std::string> Mail(const Outgoing& outgoing, const MailSettings& mail,
                                  const std::function<void()>& handingOver);
    // Everything after the report: POP3 login, SMTP configuration, sending.
    std::vector<std::string> Deliver(const std::string& subject, const std::string& text, const MailSettings& mail,
                                     const std::function<void()>& handingOver);
    void LoginViaPop(const MailSettings& mail);
    void ConfigureSmtp(const MailSettings& mail);
    void FillMessage(const std::string& subject, const std::string& text, const MailSettings& mail,
                     const std::vector<Mailbox>& recipients);

    AlertReport& report_;
    MonitorView& view_;
    Pop3Client& pop3Client_;
    SmtpClient& smtpClient_;
    MailMessage& alertMessage_;
    // The ports the clients had before mail security gave them its default;
    // without that default they return to them, as if it had never been.
    std::optional<int> smtpPortBeforeDefault_;
    std::optional<int> pop3PortBeforeDefault_;
    // What waits for SendUndelivered, oldest first.
    std::vector<Kept> undelivered_;
};

// The channel as messages name it: "e-mail", "ntfy", "the webhook".
std::string_view NoticeChannelName(NoticeChannel channel);

}  // namespace corvasse

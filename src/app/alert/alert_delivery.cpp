#include "app/alert/alert_delivery.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/alert/alert_report.h"
#include "app/alert/ntfy_request.h"
#include "app/alert/push_poster.h"
#include "app/alert/webhook_request.h"
#include "app/settings/channel_settings.h"
#include "app/settings/mail_settings.h"
#include "app/settings/setting_keys.h"
#include "app/settings/settings_store.h"
#include "app/settings/watch_spec.h"
#include "app/view/monitor_view.h"
#include "common/byte_string.h"
#include "common/process_abort.h"
#include "common/server_text.h"
#include "common/utf8_text.h"
#include "core/watch_outcome.h"
#include "mail/header_encoding.h"
#include "mail/mail_errors.h"
#include "mail/mail_message.h"
#include "mail/mailbox_list.h"
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

// True when a line would pass a mail line's limit as the 7bit part writes
// it (a leading full stop doubled).
bool HasOverlongLine(const std::vector<std::string>& lines) {
    return std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.size() + (line.starts_with('.') ? 1 : 0) > kMailLineMaxLength;
    });
}

// The charset the alert declares: the "charSet" setting when there is one;
// else ISO-8859-1 for an all-ASCII alert, and UTF-8, the text the window
// hands over, for one beyond ASCII.
std::string AlertCharSet(const std::optional<std::string>& setting, bool asciiAlert) {
    if (setting) return *setting;
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

// The line that says a channel's failure: "Not sent to ntfy: REASON".
std::string FailureLine(NoticeChannel channel, const std::exception& error) {
    const std::string reason = ShortServerText(error.what());
    if (channel == NoticeChannel::Mail) return "Not sent by e-mail: " + reason;
    return "Not sent to " + std::string(NoticeChannelName(channel)) + ": " + reason;
}

bool HasMailHost(const MailSettings& mail) {
    const std::string host = Trim(mail.host);
    return !host.empty() && host != kAbsentSetting;
}

// Whether the settings send notices on the channel: the mail when an SMTP
// host is set or no other channel is, so that without the others it is
// tried as it always was.
bool ChannelSet(NoticeChannel channel, const MailSettings& mail, const ChannelSettings& channels) {
    switch (channel) {
        case NoticeChannel::Mail: return HasMailHost(mail) || !channels.Any();
        case NoticeChannel::Ntfy: return !channels.ntfyUrl.empty();
        case NoticeChannel::Webhook: return !channels.webhookUrl.empty();
    }
    return false;
}

constexpr NoticeChannel kChannels[] = {NoticeChannel::Mail, NoticeChannel::Ntfy, NoticeChannel::Webhook};

}  // namespace

std::string_view NoticeChannelName(NoticeChannel channel) {
    switch (channel) {
        case NoticeChannel::Mail: return "e-mail";
        case NoticeChannel::Ntfy: return "ntfy";
        case NoticeChannel::Webhook: return "the webhook";
    }
    return "";
}

AlertDelivery::AlertDelivery(AlertReport& report, MonitorView& view, Pop3Client& pop3Client, SmtpClient& smtpClient,
                             MailMessage& alertMessage)
    : report_(report), view_(view), pop3Client_(pop3Client), smtpClient_(smtpClient), alertMessage_(alertMessage) {}

Notice AlertDelivery::NoticeFor(const WatchSpec& watchSpec, NoticeFacts facts, std::string subject,
                                std::string text) const {
    return {std::move(facts), watchSpec.name, watchSpec.target, std::move(subject), std::move(text)};
}

void AlertDelivery::SendAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome) {
    report_.build_msg(watchSpec, outcome);
    const NoticeFacts facts{NoticeEvent::Down, outcome.result.reason, std::nullopt, std::nullopt};
    // The next failed watch alerts again: nothing waits for the next result.
    Tell({kAlertSendingText, NoticeFor(watchSpec, facts, std::string(kAlertSubject), report_.AlertText)}, watchSpec,
         Undelivered::Dropped);
}

void AlertDelivery::SendOutageAlert(const WatchSpec& watchSpec, const WatchOutcome& outcome, const OutageAlert& alert) {
    report_.BuildOutageReport(watchSpec, outcome, alert);
    Tell({kAlertSendingText,
          NoticeFor(watchSpec, alert.facts, std::string(kAlertSubject) + ": " + watchSpec.target, report_.AlertText)},
         watchSpec, Undelivered::Kept, alert.handingOver);
}

void AlertDelivery::SendRecovery(const WatchSpec& watchSpec, const std::string& report, const NoticeFacts& facts) {
    NoticeFacts up = facts;
    up.event = NoticeEvent::Up;
    Tell({kRecoverySendingText,
          NoticeFor(watchSpec, up, std::string(kRecoverySubject) + ": " + watchSpec.target, report)},
         watchSpec, Undelivered::Kept);
}

void AlertDelivery::SendCertificateWarning(const WatchSpec& watchSpec, const std::string& report,
                                           const NoticeFacts& facts) {
    NoticeFacts certificate = facts;
    certificate.event = NoticeEvent::Certificate;
    Tell({kCertificateWarningSendingText,
          NoticeFor(watchSpec, certificate, std::string(kCertificateWarningSubject), report)},
         watchSpec, Undelivered::Kept);
}

TestDelivery AlertDelivery::SendTest(const MailSettings& mail, const ChannelSettings& channels,
                                     const std::string& watch, const std::string& address) {
    const std::string text = FormatAlertDate(std::time(nullptr)) + "\n" + std::string(kTestMailText) + "\n";
    const Outgoing test{
        kTestMailSendingText,
        {{NoticeEvent::Test, "", std::nullopt, std::nullopt}, watch, address, std::string(kTestMailSubject), text},
        Footer::None};
    Delivery delivery = Send(test, mail, channels);
    TestDelivery result{false, std::move(delivery.mailedTo), {}, std::move(delivery.failures)};
    for (NoticeChannel channel : delivery.delivered) {
        if (channel == NoticeChannel::Mail) {
            result.mailed = true;
        } else {
            result.pushed.push_back(channel);
        }
    }
    return result;
}

void AlertDelivery::Tell(const Outgoing& outgoing, const WatchSpec& watchSpec, Undelivered undelivered,
                         const std::function<void()>& handingOver) {
    const Delivery delivery = Send(outgoing, watchSpec.mail, watchSpec.channels, handingOver);
    if (delivery.failed.empty()) return;
    if (undelivered == Undelivered::Kept) {
        for (NoticeChannel channel : delivery.failed) {
            if (undelivered_.size() == kUndeliveredMaximum) {
                const Kept& oldest = undelivered_.front();
                view_.ShowLogFailure("Given up: not sent to " + std::string(NoticeChannelName(oldest.channel)) + ": " +
                                     ShortServerText(oldest.outgoing.notice.subject));
                undelivered_.erase(undelivered_.begin());
            }
            undelivered_.push_back({channel, outgoing});
        }
    }
    throw NoticePartlyFailedError(delivery.failures);
}

void AlertDelivery::SendUndelivered(const WatchSpec& watchSpec) {
    std::vector<Kept> waiting;
    waiting.swap(undelivered_);
    std::vector<std::string> failures;
    for (auto next = waiting.begin(); next != waiting.end(); ++next) {
        const Kept& kept = *next;
        // A channel turned off meanwhile is not asked.
        if (!ChannelSet(kept.channel, watchSpec.mail, watchSpec.channels)) continue;
        try {
            SendOn(kept.channel, kept.outgoing, watchSpec.mail, watchSpec.channels, {});
        } catch (const AbortedError&) {
            undelivered_.insert(undelivered_.end(), next, waiting.end());
            throw;
        } catch (const std::exception& error) {
            undelivered_.push_back(kept);
            failures.push_back(FailureLine(kept.channel, error));
        }
    }
    if (!failures.empty()) throw NoticeFailedError(failures);
}

AlertDelivery::Delivery AlertDelivery::Send(const Outgoing& outgoing, const MailSettings& mail,
                                            const ChannelSettings& channels, const std::function<void()>& handingOver) {
    Delivery delivery;
    std::exception_ptr first;
    for (NoticeChannel channel : kChannels) {
        if (!ChannelSet(channel, mail, channels)) continue;
        try {
            std::vector<std::string> mailedTo = SendOn(channel, outgoing, mail, channels, handingOver);
            if (channel == NoticeChannel::Mail) delivery.mailedTo = std::move(mailedTo);
            delivery.delivered.push_back(channel);
        } catch (const AbortedError&) {
            throw;
        } catch (const std::exception& error) {
            if (!first) first = std::current_exception();
            delivery.failed.push_back(channel);
            delivery.failures.push_back(FailureLine(channel, error));
        }
    }
    if (delivery.delivered.empty() && first) {
        // The mail's error passes as it always did; the other channels'
        // failures are said beside it.
        if (delivery.failed.front() == NoticeChannel::Mail) {
            for (size_t i = 1; i < delivery.failures.size(); ++i) view_.ShowLogFailure(delivery.failures[i]);
            std::rethrow_exception(first);
        }
        throw NoticeFailedError(delivery.failures);
    }
    return delivery;
}

std::vector<std::string> AlertDelivery::SendOn(NoticeChannel channel, const Outgoing& outgoing,
                                               const MailSettings& mail, const ChannelSettings& channels,
                                               const std::function<void()>& handingOver) {
    if (channel == NoticeChannel::Mail) return Mail(outgoing, mail, handingOver);
    const std::string_view sendingText = channel == NoticeChannel::Ntfy ? kNtfySendingText : kWebhookSendingText;
    view_.SetStatusText(std::string(sendingText));
    view_.AddStatusLine(std::string(sendingText));
    PostPush(channel == NoticeChannel::Ntfy ? NtfyRequest(outgoing.notice, channels.ntfyUrl, channels.ntfyToken)
                                            : WebhookRequest(outgoing.notice, channels.webhookUrl),
             channels, mail.family);
    return {};
}

std::vector<std::string> AlertDelivery::Mail(const Outgoing& outgoing, const MailSettings& mail,
                                             const std::function<void()>& handingOver) {
    view_.SetStatusText(std::string(outgoing.sendingText));
    view_.AddStatusLine(std::string(outgoing.sendingText));
    std::string text = outgoing.notice.text;
    if (outgoing.footer == Footer::Publisher) text += "\n\fCorvasse " + std::string(kPublisherNotice) + "\n\f";
    try {
        return Deliver(outgoing.notice.subject, text, mail, handingOver);
    } catch (const AbortedError&) {
        // The user cut the mail dialogue: say that this mail is lost. A
        // shutdown of the whole program goes without a word, as it always did.
        if (!ProcessAbortRaised()) view_.AddStatusLine(std::string(kAlertAbortedLine));
        throw;
    }
}

std::vector<std::string> AlertDelivery::Deliver(const std::string& subject, const std::string& text,
                                                const MailSettings& mail, const std::function<void()>& handingOver) {
    // An address list that cannot be read, or holds no address, fails before
    // any server is asked.
    const std::vector<Mailbox> recipients = ParseMailboxList(mail.sendTo);
    if (recipients.empty()) throw MessageError("No address to send to: the send-to field holds none.");
    pop3Client_.Security = mail.security;
    smtpClient_.Security = mail.security;
    pop3Client_.Family = mail.family;
    smtpClient_.Family = mail.family;
    if (mail.popBeforeSmtp == PopBeforeSmtp::On) LoginViaPop(mail);

    ConfigureSmtp(mail);
    const std::optional<int> smtpDefault = mail.security == MailSecurity::StartTls ? std::optional(kSmtpStartTlsPort)
                                           : mail.security == MailSecurity::Tls    ? std::optional(kSmtpTlsPort)
                                                                                   : std::nullopt;
    ApplyPort(smtpClient_, smtpPortBeforeDefault_, mail.port ? std::optional(StrToInt(*mail.port)) : std::nullopt,
              smtpDefault);

    std::vector<RefusedRecipient> refused;
    ClosingOnFailure(smtpClient_, [&] {
        smtpClient_.Connect(Wait::Default());
        FillMessage(subject, text, mail, recipients);
        refused = smtpClient_.Send(alertMessage_, handingOver);
        smtpClient_.Disconnect();
    });
    alertMessage_.MessageParts.clear();
    std::vector<std::string> reached;
    for (const Mailbox& recipient : recipients) {
        const auto refusal = std::find_if(refused.begin(), refused.end(),
                                          [&](const RefusedRecipient& r) { return r.address == recipient.address; });
        if (refusal == refused.end()) {
            reached.push_back(recipient.address);
        } else {
            view_.ShowLogFailure("Not sent to " + refusal->address + ": " + ShortServerText(refusal->reason));
        }
    }
    return reached;
}

void AlertDelivery::LoginViaPop(const MailSettings& mail) {
    pop3Client_.Host = mail.host;
    ApplyPort(pop3Client_, pop3PortBeforeDefault_, std::nullopt,
              pop3Client_.Security == MailSecurity::Tls ? std::optional(kPop3TlsPort) : std::nullopt);
    // A missing user name or password goes to the server as the store reads it.
    pop3Client_.Username = mail.user.value_or(std::string(kAbsentSetting));
    pop3Client_.Password = mail.password.value_or(std::string(kAbsentSetting));
    view_.AddStatusLine("*** Connecting via POP...");
    view_.RepaintStatusPane();
    ClosingOnFailure(pop3Client_, [&] {
        pop3Client_.CheckConnection();
        if (!pop3Client_.Connected()) pop3Client_.Connect(Wait::Default());
        view_.AddStatusLine("*** POP connected...");
        const int count = pop3Client_.CheckMessages();
        view_.AddStatusLine("*** Total Messages: " + std::to_string(count));
        view_.RepaintStatusPane();
        pop3Client_.Disconnect();
    });
}

void AlertDelivery::ConfigureSmtp(const MailSettings& mail) {
    smtpClient_.Host = mail.host;
    if (mail.user) smtpClient_.Username = *mail.user;
    if (mail.password) smtpClient_.Password = *mail.password;
    if (mail.authType) smtpClient_.SetAuthenticationType(*mail.authType);
}

void AlertDelivery::FillMessage(const std::string& subject, const std::string& text, const MailSettings& mail,
                                const std::vector<Mailbox>& recipients) {
    alertMessage_.ResetMessage();
    const std::string& ownAddress = mail.from;
    alertMessage_.From.Address = ownAddress;
    alertMessage_.From.Name = ownAddress;
    alertMessage_.Sender.Address = recipients.front().address;
    alertMessage_.Sender.Name = mail.user.value_or(ownAddress);
    for (const Mailbox& recipient : recipients) {
        EmailAddress& address = alertMessage_.Recipients.Add();
        address.Address = recipient.address;
        address.Name = recipient.name;
    }
    alertMessage_.Subject = subject;
    // Replies go to the From address, the user's own; no Reply-To is set.

    const bool asciiText = IsAscii(text);
    const bool asciiAlert =
        asciiText && IsAscii(subject) && IsAscii(alertMessage_.From.Name) && IsAscii(alertMessage_.Sender.Name);
    const std::string charSet = AlertCharSet(mail.charSet, asciiAlert);
    alertMessage_.CharSet = charSet;
    // Encoded words in the display names name the charset the bytes are in,
    // not the one the locale would pick.
    alertMessage_.OnInitializeISO = nullptr;
    if (!asciiAlert) {
        alertMessage_.OnInitializeISO = [charSet](HeaderCharset& header) {
            header = HeaderCharset{charSet, 'Q', TransferMode::EightBit};
        };
    }

    TextPart& part = alertMessage_.AddTextPart(SplitLines(text));
    if (asciiText) {
        part.SetContentType("text/plain");
        // Soft line breaks carry a line too long for a mail line whole.
        part.SetContentTransfer(HasOverlongLine(part.Body) ? "quoted-printable" : "7bit");
    } else {
        part.SetContentType("text/plain; charset=\"" + charSet + "\"");
        part.SetContentTransfer("quoted-printable");
    }
}

}  // namespace corvasse

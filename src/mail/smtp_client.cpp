#include "mail/smtp_client.h"

#include <algorithm>

#include "common/base64.h"
#include "common/byte_string.h"
#include "common/utf8_text.h"
#include "mail/mail_errors.h"
#include "mail/mailbox_list.h"
#include "mail/message_writer.h"
#include "net/socket_stack.h"
#include "net/tls_error.h"

namespace corvasse {

namespace {

constexpr int kServiceReady = 220;
constexpr int kOkay = 250;
constexpr int kUserNotLocal = 251;
constexpr int kAuthSucceeded = 235;
constexpr int kAuthContinue = 334;
constexpr int kStartMailInput = 354;

constexpr std::string_view kNeedsSmtpUtf8 = "the address is beyond ASCII and the server does not offer SMTPUTF8";

// "550 5.1.1 no such user": the code and the reply's lines on one line.
std::string ReplyLine(const RfcReply& reply) {
    std::string line = reply.TextCode();
    for (const std::string& text : reply.Text) line += " " + text;
    return line;
}

}  // namespace

SmtpClient::SmtpClient() { Port = kSmtpDefaultPort; }

void SmtpClient::SetAuthenticationType(AuthType type) {
    authenticationType_ = type;
    if (type == AuthType::Login) useEhlo_ = true;
}

void SmtpClient::SetUseEhlo(bool useEhlo) {
    useEhlo_ = useEhlo;
    if (!useEhlo) authenticationType_ = AuthType::None;
}

void SmtpClient::Connect(Wait wait) {
    TcpClient::Connect(wait);
    try {
        // The handshake completes while the greeting is awaited.
        if (Security == MailSecurity::Tls) StartTls();
        GetResponse({kServiceReady});
        authSchemes_.clear();
        smtpUtf8_ = false;
        const std::string name = HeloName.empty() ? SocketStack::Instance()->LocalHostName() : HeloName;
        if (Security == MailSecurity::StartTls) {
            // Only EHLO and STARTTLS go out in clear: no AUTH, no password,
            // and no falling back to a plain dialogue.
            if (SendCmd("EHLO " + name) != kOkay || !OffersExtension("STARTTLS")) {
                throw TlsError("Server does not offer STARTTLS.");
            }
            SendCmd("STARTTLS", kServiceReady);
            StartTls();
        }
        Greet(name);
        ReportTlsEstablished();
    } catch (...) {
        Disconnect();
        throw;
    }
}

void SmtpClient::Greet(const std::string& name) {
    if (useEhlo_ && SendCmd("EHLO " + name) == kOkay) {
        ReadCapabilities();
        return;
    }
    SendCmd("HELO " + name, kOkay);
}

bool SmtpClient::OffersExtension(std::string_view keyword) const {
    return std::any_of(LastReply.Text.begin(), LastReply.Text.end(), [&](const std::string& line) {
        return EqualsNoCase(Trim(line.substr(0, line.find(' '))), keyword);
    });
}

void SmtpClient::ReadCapabilities() {
    smtpUtf8_ = OffersExtension("SMTPUTF8");
    for (const std::string& line : LastReply.Text) {
        const std::string upper = ToUpperAscii(line);
        if (!upper.starts_with("AUTH ") && !upper.starts_with("AUTH=")) continue;
        std::string names = upper.substr(4);
        std::replace(names.begin(), names.end(), '=', ' ');
        size_t start = 0;
        while (start < names.size()) {
            size_t end = names.find(' ', start);
            if (end == std::string::npos) end = names.size();
            std::string name = names.substr(start, end - start);
            if (!name.empty() && std::find(authSchemes_.begin(), authSchemes_.end(), name) == authSchemes_.end()) {
                authSchemes_.push_back(std::move(name));
            }
            start = end + 1;
        }
    }
}

bool SmtpClient::Authenticate() {
    bool sent = false;
    if (authenticationType_ == AuthType::Login) {
        SendCmd("AUTH LOGIN", kAuthContinue);
        SendCmd(EncodeBase64(Username), kAuthContinue);
        SendCmd(EncodeBase64(Password), kAuthSucceeded);
        sent = true;
    }
    authenticated_ = true;
    return sent;
}

bool SmtpClient::AuthenticationNeeded() const {
    if (authenticationType_ != AuthType::Login || authenticated_) return false;
    return std::find(authSchemes_.begin(), authSchemes_.end(), "LOGIN") != authSchemes_.end();
}

std::vector<RefusedRecipient> SmtpClient::Send(MailMessage& message, const std::function<void()>& handingOver) {
    // Refused before anything is sent, not halfway through DATA.
    message.CheckHeaderFields();
    RefuseHeaderLineBreak(MailAgent, "X-Mailer");
    std::vector<const EmailAddress*> recipients;
    for (const EmailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
        for (const EmailAddress& address : *list) recipients.push_back(&address);
    }
    if (recipients.empty()) throw MessageError("The message has no recipient.");
    const bool utf8 = !IsAscii(message.From.Address) ||
                      std::any_of(recipients.begin(), recipients.end(),
                                  [](const EmailAddress* address) { return !IsAscii(address->Address); });
    if (!smtpUtf8_ && !IsAscii(message.From.Address)) {
        throw MessageError("The sender address " + message.From.Address +
                           " is beyond ASCII and the server does "
                           "not offer SMTPUTF8.");
    }

    SendCmd("RSET");
    if (AuthenticationNeeded()) Authenticate();
    SendCmd("MAIL FROM:<" + message.From.Address + ">" + (utf8 && smtpUtf8_ ? " SMTPUTF8" : ""), kOkay);
    std::vector<RefusedRecipient> refused;
    bool lastRefusedByServer = false;
    for (const EmailAddress* address : recipients) {
        if (!smtpUtf8_ && !IsAscii(address->Address)) {
            refused.push_back({address->Address, std::string(kNeedsSmtpUtf8)});
            lastRefusedByServer = false;
            continue;
        }
        const int code = SendCmd("RCPT TO:<" + SmtpPathAddress(address->Address) + ">");
        if (code == kOkay || code == kUserNotLocal) continue;
        refused.push_back({address->Address, ReplyLine(LastReply)});
        lastRefusedByServer = true;
    }
    if (refused.size() == recipients.size()) {
        if (refused.size() == 1 && lastRefusedByServer) RaiseReplyError();
        std::string each;
        for (const RefusedRecipient& recipient : refused) {
            each += (each.empty() ? "" : ", ") + recipient.address + " (" + recipient.reason + ")";
        }
        throw MessageError((refused.size() == 1 ? "The recipient was refused: " : "Every recipient was refused: ") +
                           each);
    }
    SendCmd("DATA", kStartMailInput);
    message.ExtraHeaders.SetHeaderValue("X-Mailer", MailAgent);
    MessageWriter(*this).Write(message);
    if (handingOver) handingOver();
    SendCmd(".", kOkay);
    return refused;
}

void SmtpClient::Disconnect() {
    MessageClient::Disconnect();
    authenticated_ = false;
}

}  // namespace corvasse

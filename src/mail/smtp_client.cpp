#include "mail/smtp_client.h"

#include <algorithm>

#include "common/base64.h"
#include "common/byte_string.h"
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

void SmtpClient::Send(MailMessage& message) {
    // Refused before anything is sent, not halfway through DATA.
    message.CheckHeaderFields();
    RefuseHeaderLineBreak(MailAgent, "X-Mailer");
    SendCmd("RSET");
    if (AuthenticationNeeded()) Authenticate();
    SendCmd("MAIL FROM:<" + message.From.Address + ">", kOkay);
    for (const EmailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList}) {
        for (const EmailAddress& address : *list) SendCmd("RCPT TO:<" + address.Address + ">", {kOkay, kUserNotLocal});
    }
    SendCmd("DATA", kStartMailInput);
    message.ExtraHeaders.SetHeaderValue("X-Mailer", MailAgent);
    WriteMessage(message);
    SendCmd(".", kOkay);
}

void SmtpClient::Disconnect() {
    MessageClient::Disconnect();
    authenticated_ = false;
}

}  // namespace corvasse

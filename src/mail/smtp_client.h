#pragma once
// An SMTP client (RFC 821 with EHLO and AUTH LOGIN) that sends one
// MailMessage per transaction.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "mail/mail_message.h"
#include "mail/message_client.h"

namespace corvasse {

enum class AuthType { None, Login };

inline constexpr int kSmtpDefaultPort = 25;
// The submission port, where mail goes after STARTTLS, and SMTP over TLS from
// the first byte.
inline constexpr int kSmtpStartTlsPort = 587;
inline constexpr int kSmtpTlsPort = 465;

// A recipient the message did not go to, and why: the server's reply
// ("550 5.1.1 no such user"), or the reason it was not offered to the server.
struct RefusedRecipient {
    std::string address;
    std::string reason;
};

class SmtpClient : public MessageClient {
public:
    SmtpClient();

    // AuthType::Login also turns UseEhlo on.
    AuthType AuthenticationType() const { return authenticationType_; }
    void SetAuthenticationType(AuthType type);
    // Off also sets AuthenticationType to AuthType::None.
    bool UseEhlo() const { return useEhlo_; }
    void SetUseEhlo(bool useEhlo);

    // Becomes the "X-Mailer" header of each message sent; empty: none.
    std::string MailAgent;
    // Name sent with EHLO or HELO; empty: this machine's name.
    std::string HeloName;
    std::string Username;
    std::string Password;

    // The AUTH mechanisms the server advertised on this connection.
    const std::vector<std::string>& AuthSchemes() const { return authSchemes_; }
    // Set by Authenticate, cleared by Disconnect.
    bool Authenticated() const { return authenticated_; }
    // The server offered SMTPUTF8 (RFC 6531) on this connection.
    bool OffersSmtpUtf8() const { return smtpUtf8_; }

    // Connects, reads the 220 greeting, then EHLO (any reply; on 250 the AUTH
    // mechanisms are noted) or, when EHLO is off or refused, HELO (250). Any
    // failure disconnects before the error passes.
    // With MailSecurity::Tls the greeting already comes over TLS. With
    // MailSecurity::StartTls an EHLO reply (250) that offers STARTTLS comes
    // first, then STARTTLS (220) and the handshake, then EHLO again; a server
    // that does not offer it fails with TlsError "Server does not offer
    // STARTTLS." before anything else is sent. Reports the status "TLS
    // established (<version>)" with TLS. Throws TlsError, and
    // IOHandlerPropInvalidError for TLS without a TlsIOHandler.
    void Connect(Wait wait = Wait::Default()) override;

    // With AuthType::Login: AUTH LOGIN (334), the base64 user name (334) and
    // password (235); returns true. With AuthType::None sends nothing and
    // returns false. Either way marks the connection authenticated.
    bool Authenticate();

    // One transaction: RSET (any reply), AUTH LOGIN when it is asked for,
    // advertised and not yet done on this connection, MAIL FROM with the bare
    // From address (250), RCPT TO for every To, Cc and Bcc address (250 or
    // 251), DATA (354), the message, "." (250). handingOver runs just before
    // the final "." goes out: from then on the server may have the message
    // even when its reply never comes. A recipient the server refuses is left
    // out and returned; the message goes to the others. When every recipient
    // is refused: with one, its ProtocolReplyError, with several a
    // MessageError naming each, and no DATA. Any other refused step throws
    // ProtocolReplyError; either way the connection stays open.
    // An address beyond ASCII needs the server's SMTPUTF8 (then MAIL FROM
    // asks for it): without it, such a recipient is refused unsent, and such
    // a From address fails with MessageError before MAIL FROM. A message
    // without any recipient, or whose header fields hold line breaks, is
    // refused (MessageError) before any command is sent.
    std::vector<RefusedRecipient> Send(MailMessage& message, const std::function<void()>& handingOver = {});

    // QUIT and close (MessageClient::Disconnect); the next connection
    // authenticates afresh.
    void Disconnect() override;

private:
    // EHLO, or HELO when EHLO is off or refused.
    void Greet(const std::string& name);
    // The last reply (an EHLO reply) names the extension.
    bool OffersExtension(std::string_view keyword) const;
    bool AuthenticationNeeded() const;
    void ReadCapabilities();

    AuthType authenticationType_ = AuthType::None;
    bool useEhlo_ = true;
    std::vector<std::string> authSchemes_;
    bool authenticated_ = false;
    bool smtpUtf8_ = false;
};

}  // namespace corvasse

#pragma once
// The common base of the SMTP and POP3 clients. Its sending side writes a
// MailMessage as the lines that follow SMTP's DATA: the header block, an
// empty line, then the plain body or the text parts between the fixed MIME
// boundary lines. The terminating "." is the SMTP client's.

#include <string_view>

#include "mail/command_client.h"
#include "mail/mail_message.h"

namespace corvasse {

// How long a mail client waits for a reply before ReadTimeoutError: a
// server that stops answering must not hold the program forever.
inline constexpr int kMailReadTimeoutMs = 120000;

// How a mail client protects its dialogue.
enum class MailSecurity {
    None,      // the plain dialogue
    StartTls,  // plain until the server accepted STARTTLS (SMTP) or STLS (POP3)
    Tls,       // TLS from the first byte, before the greeting
};

// What WriteMessage writes: the whole message, or only its header block.
enum class MessageParts { Whole, HeadersOnly };

class MessageClient : public CommandClient {
public:
    // ReadTimeout starts at kMailReadTimeoutMs.
    MessageClient();

    // Anything but None needs a TlsIOHandler (the one a client makes for
    // itself is one); with another handler Connect fails with
    // IOHandlerPropInvalidError.
    MailSecurity Security = MailSecurity::None;

    // Writes the whole message (only the header block and the empty line
    // after it with MessageParts::HeadersOnly). Body lines are dot-stuffed; a body line
    // that holds line breaks goes out as the lines it holds, each stuffed, so
    // no line of a message can end the data early. Reports the status
    // "Encoding text" once per text written and brackets the body in one
    // WorkMode::Write work bracket. Throws the message's MessageError and
    // TimeZoneInfoError and the connection's write errors.
    void WriteMessage(MailMessage& message, MessageParts parts = MessageParts::Whole);

    // Writes QUIT without waiting for the reply when connected, then closes
    // the connection in every case, also when the QUIT cannot be sent.
    void Disconnect() override;

protected:
    // Starts TLS on the open connection, checked against Host. Throws
    // IOHandlerPropInvalidError without a TLS handler, and TlsError when the
    // server already sent more: bytes that came in clear must not pass for
    // protected ones.
    void StartTls();
    // The status "TLS established (<version>)" once the handshake is done.
    void ReportTlsEstablished();

    virtual void WriteHeader(const MailMessage& message);
    virtual void WriteBody(MailMessage& message);
    // Writes a part's headers and its lines: quoted-printable unless the
    // part says otherwise. An empty type becomes "text/plain" and an empty
    // transfer encoding "quoted-printable", stored into the part.
    virtual void WriteTextPart(TextPart& part);
    virtual void WriteBodyLines(const MailMessage& message);

    // Writes one body line unencoded, dot-stuffed.
    void WriteStuffedLine(std::string_view line);
};

}  // namespace corvasse

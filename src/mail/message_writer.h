#pragma once
// Writes a MailMessage over a connection as the lines that follow SMTP's
// DATA: the header block, an empty line, then the plain body or the text
// parts between the fixed MIME boundary lines. The terminating "." is the
// SMTP client's.

#include <string_view>

#include "mail/mail_message.h"

namespace corvasse {

class TcpClient;

class MessageWriter {
public:
    explicit MessageWriter(TcpClient& connection) : connection_(connection) {}

    // Writes the whole message. Body lines are dot-stuffed; a body line that
    // holds line breaks goes out as the lines it holds, each stuffed, so no
    // line of a message can end the data early. Reports the status "Encoding
    // text" once per text written and brackets the body in one
    // WorkMode::Write work bracket. An empty part type becomes "text/plain"
    // and an empty transfer encoding "quoted-printable", stored into the
    // part. Throws the message's MessageError and TimeZoneInfoError and the
    // connection's write errors.
    void Write(MailMessage& message);

private:
    void WriteBody(MailMessage& message);
    // Writes a part's headers and its lines: quoted-printable unless the
    // part says otherwise.
    void WriteTextPart(TextPart& part);
    // Writes one body line unencoded, dot-stuffed.
    void WriteStuffedLine(std::string_view line);

    TcpClient& connection_;
};

}  // namespace corvasse

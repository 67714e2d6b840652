#include "mail/message_client.h"

#include "common/byte_string.h"
#include "mail/quoted_printable.h"
#include "net/net_error.h"
#include "net/tls_error.h"
#include "net/tls_io_handler.h"
#include "net/work_bracket.h"

namespace corvasse {

namespace {

constexpr std::string_view kMultipartPreamble = "This is a multi-part message in MIME format";
constexpr std::string_view kEncodingTextStatus = "Encoding text";

}  // namespace

MessageClient::MessageClient() { ReadTimeout = kMailReadTimeoutMs; }

void MessageClient::WriteMessage(MailMessage& message, MessageParts parts) {
    if (message.NoEncode) {
        WriteLines(message.Headers.Lines());
        WriteLn();
        if (parts == MessageParts::Whole) WriteBodyLines(message);
        return;
    }
    WriteHeader(message);
    WriteLn();
    if (parts == MessageParts::Whole) WriteBody(message);
}

void MessageClient::Disconnect() {
    try {
        CheckConnection();
        if (Connected()) WriteLn("QUIT");
    } catch (const NetError&) {
        // A server that already went away needs no QUIT; closing goes on.
    }
    CommandClient::Disconnect();
}

void MessageClient::StartTls() {
    TlsIOHandler& tls = RequireTls(Handler());
    if (InputBufferSize() > 0) throw TlsError("TLS handshake failed: the server sent data ahead of the handshake");
    tls.StartTls(Host);
}

void MessageClient::ReportTlsEstablished() {
    auto* tls = dynamic_cast<TlsIOHandler*>(Handler());
    if (tls && tls->TlsEstablished()) ReportStatus(Status::StatusText, "TLS established (" + tls->TlsVersion() + ")");
}

void MessageClient::WriteHeader(const MailMessage& message) { WriteLines(message.BuildHeaderList().Lines()); }

void MessageClient::WriteBody(MailMessage& message) {
    WorkBracket work(*this, WorkMode::Write, 0);
    const size_t parts = message.MessageParts.size();
    if (parts > 1 || (parts == 1 && message.Body.empty())) {
        WriteLn(kMultipartPreamble);
        WriteLn();
        for (auto& part : message.MessageParts) {
            WriteLn("--" + std::string(kMainBoundary));
            ReportStatus(Status::StatusText, std::string(kEncodingTextStatus));
            WriteTextPart(*part);
        }
        WriteLn("--" + std::string(kMainBoundary) + "--");
    } else {
        ReportStatus(Status::StatusText, std::string(kEncodingTextStatus));
        WriteBodyLines(message);
    }
}

void MessageClient::WriteTextPart(TextPart& part) {
    if (part.ContentType().empty()) part.SetContentType("text/plain");
    if (part.ContentTransfer().empty()) part.SetContentTransfer("quoted-printable");
    WriteLn("Content-Type: " + part.ContentType());
    WriteLn("Content-Transfer-Encoding: " + part.ContentTransfer());
    if (const std::string id = part.ContentID(); !id.empty()) WriteLn("Content-Id: " + id);
    WriteLines(part.ExtraHeaders.Lines());
    WriteLn();
    if (EqualsNoCase(part.ContentTransfer(), "quoted-printable")) {
        // The encoder escapes a full stop that starts a line, so the encoded
        // text needs no stuffing (stuffing first would double the stop).
        for (const std::string& line : part.Body) WriteText(QuotedPrintableEncoder::Encode(line + "\r\n"));
    } else {
        for (const std::string& line : part.Body) WriteStuffedLine(line);
    }
    WriteLn();
}

void MessageClient::WriteBodyLines(const MailMessage& message) {
    for (const std::string& line : message.Body) WriteStuffedLine(line);
}

void MessageClient::WriteStuffedLine(std::string_view line) {
    for (;;) {
        const size_t end = line.find_first_of("\r\n");
        const std::string_view piece = line.substr(0, end);
        if (!piece.empty() && piece.front() == '.') {
            WriteLn("." + std::string(piece));
        } else {
            WriteLn(piece);
        }
        if (end == std::string_view::npos) return;
        // CR LF counts as one line end.
        const size_t next = line.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        line = line.substr(next);
    }
}

}  // namespace corvasse

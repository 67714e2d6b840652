#include "mail/message_writer.h"

#include "common/byte_string.h"
#include "mail/quoted_printable.h"
#include "net/tcp_client.h"
#include "net/work_bracket.h"

namespace corvasse {

namespace {

constexpr std::string_view kMultipartPreamble = "This is a multi-part message in MIME format";
constexpr std::string_view kEncodingTextStatus = "Encoding text";

}  // namespace

void MessageWriter::Write(MailMessage& message) {
    connection_.WriteLines(message.BuildHeaderList().Lines());
    connection_.WriteLn();
    WriteBody(message);
}

void MessageWriter::WriteBody(MailMessage& message) {
    WorkBracket work(connection_, WorkMode::Write, 0);
    const size_t parts = message.MessageParts.size();
    if (parts > 1 || (parts == 1 && message.Body.empty())) {
        connection_.WriteLn(kMultipartPreamble);
        connection_.WriteLn();
        for (auto& part : message.MessageParts) {
            connection_.WriteLn("--" + std::string(kMainBoundary));
            connection_.ReportStatus(Status::StatusText, std::string(kEncodingTextStatus));
            WriteTextPart(*part);
        }
        connection_.WriteLn("--" + std::string(kMainBoundary) + "--");
    } else {
        connection_.ReportStatus(Status::StatusText, std::string(kEncodingTextStatus));
        for (const std::string& line : message.Body) WriteStuffedLine(line);
    }
}

void MessageWriter::WriteTextPart(TextPart& part) {
    if (part.ContentType().empty()) part.SetContentType("text/plain");
    if (part.ContentTransfer().empty()) part.SetContentTransfer("quoted-printable");
    connection_.WriteLn("Content-Type: " + part.ContentType());
    connection_.WriteLn("Content-Transfer-Encoding: " + part.ContentTransfer());
    if (const std::string id = part.ContentID(); !id.empty()) connection_.WriteLn("Content-Id: " + id);
    connection_.WriteLines(part.ExtraHeaders.Lines());
    connection_.WriteLn();
    if (EqualsNoCase(part.ContentTransfer(), "quoted-printable")) {
        // The encoder escapes a full stop that starts a line, so the encoded
        // text needs no stuffing (stuffing first would double the stop).
        for (const std::string& line : part.Body) connection_.WriteText(QuotedPrintableEncoder::Encode(line + "\r\n"));
    } else {
        for (const std::string& line : part.Body) WriteStuffedLine(line);
    }
    connection_.WriteLn();
}

void MessageWriter::WriteStuffedLine(std::string_view line) {
    for (;;) {
        const size_t end = line.find_first_of("\r\n");
        const std::string_view piece = line.substr(0, end);
        if (!piece.empty() && piece.front() == '.') {
            connection_.WriteLn("." + std::string(piece));
        } else {
            connection_.WriteLn(piece);
        }
        if (end == std::string_view::npos) return;
        // CR LF counts as one line end.
        const size_t next = line.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        line = line.substr(next);
    }
}

}  // namespace corvasse

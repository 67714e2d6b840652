#include "mail/message_client.h"

#include <algorithm>
#include <cstdint>

#include "mail/mail_errors.h"
#include "net/net_error.h"
#include "net/parser_feed.h"
#include "net/tls_error.h"
#include "net/tls_io_handler.h"

namespace corvasse {

MessageClient::MessageClient() { ReadTimeout = kMailReadTimeoutMs; }

int MessageClient::SendCmd(std::string_view line, const std::vector<int>& allowed) {
    if (line.find_first_of("\r\n") != std::string_view::npos) throw CommandLineBreakError();
    WriteLn(line);
    return GetResponse(allowed);
}

int MessageClient::SendCmd(std::string_view line, int allowedCode) {
    return SendCmd(line, allowedCode == -1 ? std::vector<int>{} : std::vector<int>{allowedCode});
}

int MessageClient::GetResponse(const std::vector<int>& allowed) {
    ReadReply();
    return CheckReplyCode(LastReply.NumericCode(), allowed);
}

void MessageClient::ReadReply() {
    ScopedReadDeadline deadline(*this, std::chrono::milliseconds(ReadTimeout));
    ReplyParser parser(static_cast<size_t>(std::max(MaxLineLength, 0)));
    FeedUntilDone(*this, parser);
    LastReply.ParseReplyLines(parser.Lines());
}

int MessageClient::CheckReplyCode(int code, const std::vector<int>& allowed) {
    if (allowed.empty()) return code;
    const auto code16 = static_cast<int16_t>(code);
    if (std::any_of(allowed.begin(), allowed.end(), [&](int a) { return static_cast<int16_t>(a) == code16; })) {
        return code;
    }
    RaiseReplyError();
}

void MessageClient::RaiseReplyError() {
    throw ProtocolReplyError(LastReply.NumericCode(), ReplyTextWithLineEnds(LastReply));
}

void MessageClient::Disconnect() {
    try {
        CheckConnection();
        if (Connected()) WriteLn("QUIT");
    } catch (const NetError&) {
        // A server that already went away needs no QUIT; closing goes on.
    }
    TcpClient::Disconnect();
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

}  // namespace corvasse

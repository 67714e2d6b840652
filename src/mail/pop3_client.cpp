#include "mail/pop3_client.h"

#include "common/byte_string.h"
#include "mail/md5.h"
#include "net/net_error.h"
#include "net/tls_error.h"

namespace corvasse {

Pop3Client::Pop3Client() { Port = kPop3DefaultPort; }

int Pop3Client::GetResponse(const std::vector<int>& allowed) {
    ReadReply();
    if (EqualsNoCase(LastReply.TextCode(), "+OK")) {
        LastReply.SetNumericCode(kPop3Ok);
    } else if (EqualsNoCase(LastReply.TextCode(), "-ERR")) {
        LastReply.SetNumericCode(kPop3Err);
    } else {
        throw NetError("Unrecognized POP3 Response Header:\n\"" + ReplyTextWithLineEnds(LastReply) + "\"");
    }
    return CheckReplyCode(LastReply.NumericCode(), allowed);
}

void Pop3Client::Connect(Wait wait) {
    TcpClient::Connect(wait);
    try {
        // The handshake completes while the greeting is awaited.
        if (Security == MailSecurity::Tls) StartTls();
        GetResponse({kPop3Ok});
        const std::string greeting = LastReply.Text.empty() ? std::string() : LastReply.Text.front();
        if (Security == MailSecurity::StartTls) {
            if (SendCmd("STLS") != kPop3Ok) throw TlsError("Server does not offer STLS.");
            StartTls();
        }
        if (APOP) {
            const size_t open = greeting.find('<');
            const size_t close = open == std::string::npos ? open : greeting.find('>', open);
            if (close == std::string::npos) throw NetError("Server do not support APOP (no timestamp)");
            const std::string timestamp = greeting.substr(open, close - open + 1);
            SendCmd("APOP " + Username + " " + Md5Hex(timestamp + Password), kPop3Ok);
        } else {
            SendCmd("USER " + Username, kPop3Ok);
            SendCmd("PASS " + Password, kPop3Ok);
        }
        ReportTlsEstablished();
    } catch (...) {
        Disconnect();
        throw;
    }
}

int Pop3Client::CheckMessages() {
    SendCmd("STAT", kPop3Ok);
    const std::string status = LastReply.Text.empty() ? std::string() : LastReply.Text.front();
    if (status.empty()) return 0;
    // "count size"; a line without the size has no count either.
    const size_t space = status.find(' ');
    return StrToInt(space == std::string::npos ? std::string() : status.substr(0, space));
}

}  // namespace corvasse

#pragma once
// The common base of the SMTP and POP3 clients: the command and reply
// exchange of the line-oriented mail protocols (one command line out, one
// reply, possibly over several lines, in, its code tested against the codes
// the command allows), TLS on the dialogue, and QUIT on the way out.

#include <string_view>
#include <vector>

#include "mail/reply_parser.h"
#include "mail/rfc_reply.h"
#include "net/tcp_client.h"

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

class MessageClient : public TcpClient {
public:
    // ReadTimeout starts at kMailReadTimeoutMs.
    MessageClient();

    // Anything but None needs a TlsIOHandler (the one a client makes for
    // itself is one); with another handler Connect fails with
    // IOHandlerPropInvalidError.
    MailSecurity Security = MailSecurity::None;

    // The latest reply read; a refused reply stays here for the caller.
    RfcReply LastReply;

    // Writes the line with CR LF, then GetResponse. Returns the reply code.
    // Throws CommandLineBreakError (nothing is sent) for a line holding CR or
    // LF, ProtocolReplyError for a code outside `allowed` (an empty set
    // allows every code), and the connection's read and write errors.
    int SendCmd(std::string_view line, const std::vector<int>& allowed);
    // The same with one allowed code; -1 allows every code.
    int SendCmd(std::string_view line, int allowedCode = -1);

    // Reads one reply into LastReply and tests its code. Returns the code.
    virtual int GetResponse(const std::vector<int>& allowed);

    // Reads the lines of one reply (blank lines skipped, each line trimmed)
    // into LastReply. A first line "250-..." opens a multi-line reply that
    // ends with a line starting "250 " (any case) or shorter than four
    // characters. On a read error LastReply keeps the previous reply.
    // The whole reply must arrive within ReadTimeout (when it is set), not
    // only each piece of it, and hold at most kMaxReplyBytes; otherwise
    // ReadTimeoutError or ReplyTooLargeError.
    void ReadReply();

    // Returns the code when `allowed` is empty or holds it (compared as a
    // 16-bit value); otherwise throws ProtocolReplyError for LastReply.
    int CheckReplyCode(int code, const std::vector<int>& allowed);

    // Throws ProtocolReplyError with LastReply's code and text.
    [[noreturn]] void RaiseReplyError();

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
};

}  // namespace corvasse

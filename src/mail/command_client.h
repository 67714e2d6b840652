#pragma once
// The command and reply exchange of the line-oriented mail protocols: one
// command line out, one reply (possibly over several lines) in, its code
// tested against the codes the command allows.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "mail/reply_parser.h"
#include "mail/rfc_reply.h"
#include "net/tcp_client.h"

namespace corvasse {

class CommandClient : public TcpClient {
public:
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
};

}  // namespace corvasse

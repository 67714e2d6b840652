#pragma once
// A POP3 client (RFC 1939) that logs in and asks for the number of waiting
// messages; used for "POP before SMTP".

#include <string>
#include <vector>

#include "mail/message_client.h"

namespace corvasse {

inline constexpr int kPop3DefaultPort = 110;
// POP3 over TLS from the first byte (pop3s).
inline constexpr int kPop3TlsPort = 995;
// The codes the client gives POP3's status words.
inline constexpr int kPop3Ok = 1;
inline constexpr int kPop3Err = 2;

class Pop3Client : public MessageClient {
public:
    Pop3Client();

    // Log in with APOP instead of USER and PASS.
    bool APOP = false;
    std::string Username;
    std::string Password;

    // Connects, reads the +OK greeting and logs in (USER and PASS, or APOP
    // with the MD5 of the greeting's timestamp and the password). Any failure
    // disconnects before the error passes. Throws ProtocolReplyError with
    // code 2 for a -ERR reply, NetError "Server do not support APOP (no
    // timestamp)", and the connection's errors.
    // With MailSecurity::Tls the greeting already comes over TLS; with
    // MailSecurity::StartTls STLS follows the greeting (a refusal fails with
    // TlsError "Server does not offer STLS." before the login), then the
    // login goes over TLS. Reports the status "TLS established (<version>)"
    // after the login with TLS. Throws TlsError and IOHandlerPropInvalidError too.
    void Connect(Wait wait = Wait::Default()) override;

    // STAT: the number of messages in the mailbox. Throws ProtocolReplyError
    // for -ERR and ConversionError for a count that is not a number.
    int CheckMessages();

    // Reads a one-line reply: "+OK" gives code 1, "-ERR" code 2 (any case);
    // anything else throws NetError "Unrecognized POP3 Response Header:" with
    // the reply text. Then tests the code as MessageClient does.
    int GetResponse(const std::vector<int>& allowed) override;
};

}  // namespace corvasse

#pragma once
// A private dovecot POP3 server on a loopback address. Its configuration,
// run and state folders, log, passwd-file and mailbox live in a temporary
// folder; the mailbox of kPop3TestUser holds kPop3TestMessages messages. The
// user and password are those of the SMTP fixture, as "POP before SMTP"
// uses one login for both. It runs in the foreground and is stopped when the
// object goes away.
//
//     Pop3Server server;                        // 127.0.0.1, a free port
//     Pop3Server onStandardPort("127.8.9.10", 110);
//     Pop3Server secure("127.0.0.1", 0, Pop3Server::Tls::Offered);   // STLS, and pop3s on TlsPort()
//
// As root the mail process runs as nobody; as another user, as that user.
// Throws std::runtime_error (with dovecot's log) when it cannot start.

#include <string>

#include "support/server_process.h"
#include "support/temp_dir.h"

namespace corvasse::test {

inline constexpr const char* kDovecotBinary = "/usr/sbin/dovecot";
inline constexpr const char* kPop3TestUser = "alice";
inline constexpr const char* kPop3TestPassword = "wonder land";
inline constexpr int kPop3TestMessages = 3;
inline constexpr int kPop3StartTimeoutMs = 15000;

class Pop3Server {
public:
    enum class Tls {
        None,
        Offered,  // STLS on Port(), TLS from the first byte on TlsPort(); TestCertificates().localhost
    };

    // port 0 picks a free port of the address.
    explicit Pop3Server(std::string address = "127.0.0.1", int port = 0, Tls tls = Tls::None);
    ~Pop3Server();
    Pop3Server(const Pop3Server&) = delete;
    Pop3Server& operator=(const Pop3Server&) = delete;

    const std::string& Host() const { return address_; }
    int Port() const { return port_; }
    int TlsPort() const { return tlsPort_; }
    // Total size in bytes of the messages in the mailbox, as STAT counts it.
    int MailboxBytes() const { return mailboxBytes_; }
    std::string Log() const;

private:
    void PrepareMailbox();
    bool TryStart(int port);

    TempDir dir_;
    std::string address_;
    int port_ = 0;
    int tlsPort_ = 0;
    Tls tls_;
    ServerProcess process_;
    int mailboxBytes_ = 0;
};

// A 127.x.y.z address whose port is free at the moment of asking (for a
// server that must use a fixed port such as 110).
std::string FreeLoopbackAddress(int port);

}  // namespace corvasse::test

#pragma once
// A private SMTP server (aiosmtpd, run by /usr/bin/python3 from
// tests/support/smtp_server.py) on a free port of a loopback address. It stores every
// message it accepts in a temporary folder, from where the test reads it; it
// is stopped when the object goes away.
//
//     SmtpServer server(SmtpServer::Login::Required);
//     ... send to server.Host():server.Port() as kSmtpTestUser ...
//     ASSERT_TRUE(server.WaitForMessages(1));
//     EXPECT_EQ(server.Messages()[0].rcptTo[0], "alerts@example.org");
//
// Throws std::runtime_error (with the server's output) when it cannot start.

#include <string>
#include <vector>

#include "support/message_lines.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace corvasse::test {

inline constexpr const char* kPython3Binary = "/usr/bin/python3";
inline constexpr const char* kSmtpTestUser = "alice";
inline constexpr const char* kSmtpTestPassword = "wonder land";
inline constexpr int kSmtpStartTimeoutMs = 15000;
inline constexpr int kSmtpMessageTimeoutMs = 10000;

// One message as the server accepted it.
struct ReceivedMail {
    std::string mailFrom;             // the MAIL FROM address
    std::vector<std::string> rcptTo;  // the RCPT TO addresses, in order
    std::string authUser;             // the user that logged in, or ""
    std::string content;              // the data, dot-stuffing removed
};

class SmtpServer {
public:
    enum class Login {
        NotOffered,  // no AUTH in the EHLO reply; anyone may send
        Required,    // AUTH LOGIN advertised; mail only after kSmtpTestUser logged in
    };

    enum class Tls {
        None,
        StartTls,  // STARTTLS offered and required before anything else; AUTH only after it
        Implicit,  // TLS from the first byte
    };

    // With TLS the server shows TestCertificates().localhost.
    explicit SmtpServer(Login login, std::string address = "127.0.0.1", Tls tls = Tls::None);
    ~SmtpServer();
    SmtpServer(const SmtpServer&) = delete;
    SmtpServer& operator=(const SmtpServer&) = delete;

    const std::string& Host() const { return address_; }
    int Port() const { return port_; }

    // Waits until at least count messages were stored; false on time-out.
    bool WaitForMessages(size_t count, int timeoutMs = kSmtpMessageTimeoutMs) const;
    // The messages stored so far, in the order they arrived.
    std::vector<ReceivedMail> Messages() const;
    // What the server printed (for failure messages).
    std::string Output() const;

private:
    bool TryStart(Login login, Tls tls);

    TempDir dir_;
    std::string address_;
    int port_ = 0;
    ServerProcess process_;
};

}  // namespace corvasse::test

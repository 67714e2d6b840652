#include "support/smtp_server.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "support/loopback.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace corvasse::test {

namespace {

constexpr int kStartAttempts = 5;
constexpr int kPollIntervalMs = 20;

std::filesystem::path MailDir(const TempDir& dir) { return dir.Path() / "mail"; }

}  // namespace

SmtpServer::SmtpServer(Login login, std::string address, Tls tls) : address_(std::move(address)) {
    std::filesystem::create_directories(MailDir(dir_));
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (TryStart(login, tls)) return;
    }
    throw std::runtime_error("aiosmtpd did not start:\n" + Output());
}

SmtpServer::~SmtpServer() = default;

bool SmtpServer::TryStart(Login login, Tls tls) {
    port_ = ClosedPort(address_);
    const std::string script = std::string(CORVASSE_SOURCE_DIR) + "/tests/support/smtp_server.py";
    const std::string port = std::to_string(port_);
    const std::string outdir = MailDir(dir_).string();
    const std::string logPath = (dir_.Path() / "server.log").string();
    std::vector<std::string> args = {kPython3Binary, script, "--host", address_, "--port", port, "--outdir", outdir};
    if (login == Login::Required) {
        args.insert(args.end(), {"--user", kSmtpTestUser, "--password", kSmtpTestPassword});
    }
    if (tls != Tls::None) {
        const CertificateFiles& files = TestCertificates().localhost;
        args.insert(args.end(), {"--tls", tls == Tls::StartTls ? "starttls" : "implicit", "--cert",
                                 files.certificate.string(), "--key", files.key.string()});
    }
    process_.Start(std::move(args), logPath);
    switch (process_.WaitUntilAccepting(address_, port_, kSmtpStartTimeoutMs)) {
        case ServerProcess::Readiness::Accepting: return true;
        case ServerProcess::Readiness::Exited: return false;
        case ServerProcess::Readiness::TimedOut: break;
    }
    throw std::runtime_error("aiosmtpd did not accept connections in time:\n" + Output());
}

bool SmtpServer::WaitForMessages(size_t count, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (Messages().size() >= count) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
    }
}

std::vector<ReceivedMail> SmtpServer::Messages() const {
    // The envelope is renamed into place after the content, so a message
    // whose envelope is there is complete.
    std::vector<std::filesystem::path> envelopes;
    for (const auto& entry : std::filesystem::directory_iterator(MailDir(dir_))) {
        if (entry.path().extension() == ".env" && entry.path().filename().string()[0] != '.') {
            envelopes.push_back(entry.path());
        }
    }
    std::sort(envelopes.begin(), envelopes.end());
    std::vector<ReceivedMail> messages;
    for (const auto& envelope : envelopes) {
        ReceivedMail mail;
        std::istringstream lines(ReadFile(envelope));
        for (std::string line; std::getline(lines, line);) {
            auto bracketed = [&](std::string_view prefix) {
                return line.substr(prefix.size() + 1, line.size() - prefix.size() - 2);
            };
            if (line.rfind("MAIL FROM:", 0) == 0) {
                mail.mailFrom = bracketed("MAIL FROM:");
            } else if (line.rfind("RCPT TO:", 0) == 0) {
                mail.rcptTo.push_back(bracketed("RCPT TO:"));
            } else if (line.rfind("AUTH:", 0) == 0) {
                mail.authUser = line.substr(5);
            }
        }
        std::filesystem::path content = envelope;
        mail.content = ReadFile(content.replace_extension(".eml"));
        messages.push_back(std::move(mail));
    }
    return messages;
}

std::string SmtpServer::Output() const { return ReadFile(dir_.Path() / "server.log"); }

}  // namespace corvasse::test

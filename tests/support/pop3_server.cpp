#include "support/pop3_server.h"

#include <filesystem>
#include <random>
#include <sstream>
#include <stdexcept>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include "support/loopback.h"
#include "support/temp_dir.h"
#include "support/test_pki.h"

namespace corvasse::test {

namespace {

constexpr int kStartAttempts = 5;
constexpr uid_t kNobodyId = 65534;

std::string UserName(uid_t uid) {
    passwd* entry = getpwuid(uid);
    if (entry == nullptr) throw std::runtime_error("no user name for uid " + std::to_string(uid));
    return entry->pw_name;
}

std::string GroupName(gid_t gid) {
    group* entry = getgrgid(gid);
    if (entry == nullptr) throw std::runtime_error("no group name for gid " + std::to_string(gid));
    return entry->gr_name;
}

}  // namespace

std::string FreeLoopbackAddress(int port) {
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> byte(1, 254);
    for (int attempt = 0; attempt < 50; ++attempt) {
        const std::string host = "127." + std::to_string(byte(random)) + "." + std::to_string(byte(random)) + "." +
                                 std::to_string(byte(random));
        if (TryBind(host, port) == port) return host;
    }
    throw std::runtime_error("no loopback address with port " + std::to_string(port) + " free");
}

Pop3Server::Pop3Server(std::string address, int port, Tls tls) : address_(std::move(address)), tls_(tls) {
    PrepareMailbox();
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (TryStart(port)) return;
    }
    throw std::runtime_error("dovecot did not start:\n" + Log());
}

Pop3Server::~Pop3Server() = default;

std::string Pop3Server::Log() const { return ReadFile(dir_.Path() / "dovecot.log"); }

void Pop3Server::PrepareMailbox() {
    const std::filesystem::path home = dir_.Path() / "home";
    const std::filesystem::path maildir = home / "Maildir";
    for (const char* sub : {"cur", "new", "tmp"}) std::filesystem::create_directories(maildir / sub);
    std::filesystem::create_directories(dir_.Path() / "run");
    std::filesystem::create_directories(dir_.Path() / "state");
    for (int i = 1; i <= kPop3TestMessages; ++i) {
        const std::string message = "From: sender@example.org\r\nSubject: message " + std::to_string(i) +
                                    "\r\n\r\nBody of message " + std::to_string(i) + ".\r\n";
        mailboxBytes_ += static_cast<int>(message.size());
        WriteFile(maildir / "cur" / ("100000000" + std::to_string(i) + ".M1P1.corvasse:2,S"), message);
    }
    // As root the mail process runs as nobody, which must reach the mailbox.
    const bool root = geteuid() == 0;
    const uid_t uid = root ? kNobodyId : geteuid();
    const gid_t gid = root ? kNobodyId : getegid();
    if (root) {
        std::filesystem::permissions(dir_.Path(), std::filesystem::perms::owner_all |
                                                      std::filesystem::perms::group_exec |
                                                      std::filesystem::perms::others_exec);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(home)) {
            if (chown(entry.path().c_str(), uid, gid) != 0) throw std::runtime_error("chown failed");
        }
        if (chown(home.c_str(), uid, gid) != 0) throw std::runtime_error("chown failed");
    }
    WriteFile(dir_.Path() / "passwd", std::string(kPop3TestUser) + ":{PLAIN}" + kPop3TestPassword + ":" +
                                          std::to_string(uid) + ":" + std::to_string(gid) + "::" + home.string() +
                                          "\n");
}

bool Pop3Server::TryStart(int port) {
    port_ = port != 0 ? port : ClosedPort(address_);
    tlsPort_ = tls_ == Tls::Offered ? ClosedPort(address_) : 0;
    const std::string dir = dir_.Path().string();
    std::ostringstream conf;
    conf << "base_dir = " << dir << "/run\n"
         << "state_dir = " << dir << "/state\n"
         << "log_path = " << dir << "/dovecot.log\n"
         << "protocols = pop3\n"
         << "listen = " << address_ << "\n"
         << (tls_ == Tls::Offered ? "ssl = yes\nssl_cert = <" + TestCertificates().localhost.certificate.string() +
                                        "\nssl_key = <" + TestCertificates().localhost.key.string() + "\n"
                                  : std::string("ssl = no\n"))
         << "disable_plaintext_auth = no\n"
         << "auth_mechanisms = plain apop\n"
         // A refused login is answered at once, not after dovecot's usual 2 s.
         << "auth_failure_delay = 0\n"
         << "mail_location = maildir:~/Maildir\n"
         << "first_valid_uid = 1\n"
         << "passdb {\n  driver = passwd-file\n  args = " << dir << "/passwd\n}\n"
         << "userdb {\n  driver = passwd-file\n  args = " << dir << "/passwd\n}\n"
         << "service pop3-login {\n"
         << "  inet_listener pop3 {\n    address = " << address_ << "\n    port = " << port_ << "\n  }\n"
         << "  inet_listener pop3s {\n    address = " << address_ << "\n    port = " << tlsPort_
         << (tls_ == Tls::Offered ? "\n    ssl = yes" : "") << "\n  }\n"
         << "}\n";
    if (geteuid() != 0) {
        // Without root every dovecot process runs as the caller.
        const std::string user = UserName(geteuid());
        conf << "default_login_user = " << user << "\n"
             << "default_internal_user = " << user << "\n"
             << "default_internal_group = " << GroupName(getegid()) << "\n";
    }
    const std::string confPath = dir + "/dovecot.conf";
    WriteFile(confPath, conf.str());

    process_.Start({kDovecotBinary, "-F", "-c", confPath});
    switch (process_.WaitUntilAccepting(address_, port_, kPop3StartTimeoutMs)) {
        case ServerProcess::Readiness::Accepting:
            return tls_ == Tls::None || process_.WaitUntilAccepting(address_, tlsPort_, kPop3StartTimeoutMs) ==
                                            ServerProcess::Readiness::Accepting;
        case ServerProcess::Readiness::Exited:
            if (port != 0) throw std::runtime_error("dovecot exited:\n" + Log());
            return false;
        case ServerProcess::Readiness::TimedOut: break;
    }
    throw std::runtime_error("dovecot did not accept connections in time:\n" + Log());
}

}  // namespace corvasse::test

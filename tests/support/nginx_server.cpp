#include "support/nginx_server.h"

#include <sstream>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/socket_address.h"
#include "support/loopback.h"

namespace corvasse::test {

namespace {

constexpr int kStartAttempts = 5;

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

NginxServer::NginxServer(std::string_view serverDirectives, std::optional<CertificateFiles> tls, std::string address)
    : address_(std::move(address)), root_(dir_.Path() / "www"), tls_(std::move(tls)) {
    std::filesystem::create_directories(root_);
    for (const char* sub : {"logs", "temp/body", "temp/proxy", "temp/fastcgi", "temp/uwsgi", "temp/scgi"}) {
        std::filesystem::create_directories(dir_.Path() / sub);
    }
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (TryStart(serverDirectives)) return;
    }
    throw std::runtime_error("nginx did not start:\n" + ErrorLog());
}

NginxServer::~NginxServer() = default;

std::string NginxServer::Host() const { return AddressForDisplay(address_); }

std::string NginxServer::Url(std::string_view path) const {
    return "http://" + Host() + ":" + std::to_string(port_) + std::string(path);
}

void NginxServer::WriteFile(std::string_view relativePath, std::string_view bytes) const {
    std::filesystem::path path = root_ / relativePath;
    std::filesystem::create_directories(path.parent_path());
    // Replaced at once, so that a request never gets half of a page that changes.
    std::filesystem::path next = path;
    next += ".next";
    test::WriteFile(next, bytes);
    std::filesystem::rename(next, path);
}

std::string NginxServer::HttpsUrl(std::string_view path, std::string_view host) const {
    return "https://" + (host.empty() ? Host() : std::string(host)) + ":" + std::to_string(tlsPort_) +
           std::string(path);
}

std::string NginxServer::ErrorLog() const { return ReadFile(dir_.Path() / "logs/error.log"); }

bool NginxServer::TryStart(std::string_view serverDirectives) {
    port_ = ClosedPort(address_);
    tlsPort_ = tls_ ? ClosedPort(address_) : 0;
    std::string tlsListen;
    if (tls_) {
        tlsListen = "    listen " + Host() + ":" + std::to_string(tlsPort_) + " ssl;\n    ssl_certificate " +
                    tls_->certificate.string() + ";\n    ssl_certificate_key " + tls_->key.string() + ";\n";
    }
    std::string directives = ReplaceAll(std::string(serverDirectives), "@PORT@", std::to_string(port_));
    directives = ReplaceAll(directives, "@TLSPORT@", std::to_string(tlsPort_));
    const std::string dir = dir_.Path().string();
    // A single foreground process: nothing forks, and as root nothing changes
    // user, so the private folders need no other permissions.
    std::ostringstream conf;
    conf << "daemon off;\n"
         << "master_process off;\n"
         << "worker_processes 1;\n"
         << "pid " << dir << "/logs/nginx.pid;\n"
         << "error_log " << dir
         << "/logs/error.log warn;\n"
         // Room for a benchmark's thousand watches at once.
         << "worker_rlimit_nofile 2048;\n"
         << "events { worker_connections 1024; }\n"
         << "http {\n"
         << "  access_log " << dir << "/logs/access.log;\n"
         << "  client_body_temp_path " << dir << "/temp/body;\n"
         << "  proxy_temp_path " << dir << "/temp/proxy;\n"
         << "  fastcgi_temp_path " << dir << "/temp/fastcgi;\n"
         << "  uwsgi_temp_path " << dir << "/temp/uwsgi;\n"
         << "  scgi_temp_path " << dir << "/temp/scgi;\n"
         << "  types { text/html html; text/plain txt; application/octet-stream bin; }\n"
         << "  default_type application/octet-stream;\n"
         << "  server {\n"
         << "    listen " << Host() << ":" << port_ << ";\n"
         << tlsListen << "    root " << root_.string() << ";\n"
         << "    " << directives << "\n"
         << "  }\n"
         << "}\n";
    const std::string confPath = dir + "/nginx.conf";
    WriteFile(confPath, conf.str());

    process_.Start({kNginxBinary, "-p", dir, "-c", confPath, "-e", dir + "/logs/error.log"});
    return WaitForPort(port_) && (!tls_ || WaitForPort(tlsPort_));
}

bool NginxServer::WaitForPort(int port) {
    switch (process_.WaitUntilAccepting(address_, port, kNginxStartTimeoutMs)) {
        case ServerProcess::Readiness::Accepting: return true;
        case ServerProcess::Readiness::Exited: return false;
        case ServerProcess::Readiness::TimedOut: break;
    }
    throw std::runtime_error("nginx did not accept connections in time:\n" + ErrorLog());
}

}  // namespace corvasse::test

#include "support/nginx_server.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvasse::test {

namespace {

constexpr int kStartAttempts = 5;
constexpr int kStopTimeoutMs = 5000;
constexpr int kPollIntervalMs = 20;

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port that was free a moment ago; nginx may still lose it to another
// process, which TryStart notices.
int FreePort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) throw std::runtime_error("socket failed");
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(fd);
        throw std::runtime_error("cannot find a free port");
    }
    close(fd);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address = Loopback(port);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

}  // namespace

NginxServer::NginxServer(std::string_view serverDirectives) : root_(dir_.Path() / "www") {
    std::filesystem::create_directories(root_);
    for (const char* sub : {"logs", "temp/body", "temp/proxy", "temp/fastcgi", "temp/uwsgi", "temp/scgi"}) {
        std::filesystem::create_directories(dir_.Path() / sub);
    }
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        if (TryStart(serverDirectives)) return;
    }
    throw std::runtime_error("nginx did not start:\n" + ErrorLog());
}

NginxServer::~NginxServer() { Stop(); }

std::string NginxServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void NginxServer::WriteFile(std::string_view relativePath, std::string_view bytes) const {
    std::filesystem::path path = root_ / relativePath;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string NginxServer::ErrorLog() const {
    std::ifstream in(dir_.Path() / "logs/error.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool NginxServer::TryStart(std::string_view serverDirectives) {
    port_ = FreePort();
    const std::string dir = dir_.Path().string();
    // A single foreground process: nothing forks, and as root nothing changes
    // user, so the private folders need no other permissions.
    std::ostringstream conf;
    conf << "daemon off;\n"
         << "master_process off;\n"
         << "worker_processes 1;\n"
         << "pid " << dir << "/logs/nginx.pid;\n"
         << "error_log " << dir << "/logs/error.log warn;\n"
         << "events { worker_connections 64; }\n"
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
         << "    listen 127.0.0.1:" << port_ << ";\n"
         << "    root " << root_.string() << ";\n"
         << "    " << ReplaceAll(std::string(serverDirectives), "@PORT@", std::to_string(port_)) << "\n"
         << "  }\n"
         << "}\n";
    const std::string confPath = dir + "/nginx.conf";
    {
        std::ofstream out(confPath, std::ios::trunc);
        out << conf.str();
        if (!out) throw std::runtime_error("cannot write " + confPath);
    }

    // Everything the child needs is prepared before the fork: a forked child
    // of a threaded process must not allocate.
    const std::string errorLog = dir + "/logs/error.log";
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        execl(kNginxBinary, kNginxBinary, "-p", dir.c_str(), "-c", confPath.c_str(), "-e", errorLog.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    pid_ = pid;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kNginxStartTimeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            // It exited: most likely the port was taken meanwhile.
            pid_ = -1;
            return false;
        }
        if (Accepts(port_)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
    }
    Stop();
    throw std::runtime_error("nginx did not accept connections in time:\n" + ErrorLog());
}

void NginxServer::Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
    }
    pid_ = -1;
}

}  // namespace corvasse::test

#include "support/server_process.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "common/file_descriptor.h"
#include "common/socket_address.h"

namespace corvasse::test {

namespace {

constexpr int kStopTimeoutMs = 5000;
constexpr int kPollIntervalMs = 20;

// host:port as the socket calls take it; host is an IPv4 or IPv6 address.
SocketAddress Address(const std::string& host, int port) {
    std::optional<SocketAddress> address = SocketAddress::FromText(host, static_cast<uint16_t>(port));
    if (!address) throw std::runtime_error("not an IP address: " + host);
    return *address;
}

// The inodes of the TCP sockets, IPv4 and IPv6, that listen on port.
std::set<unsigned long> ListeningSockets(int port) {
    constexpr char kListen[] = "0A";
    std::set<unsigned long> inodes;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream rows(table);
        std::string row;
        std::getline(rows, row);  // the heading
        while (std::getline(rows, row)) {
            std::istringstream fields(row);
            std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
            unsigned long inode = 0;
            fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode;
            const size_t colon = local.rfind(':');
            if (state == kListen && colon != std::string::npos &&
                std::stoi(local.substr(colon + 1), nullptr, 16) == port) {
                inodes.insert(inode);
            }
        }
    }
    return inodes;
}

// True when the process pid holds a socket that listens on port: what accepts
// there is that process, not another that took the port first.
bool HoldsListener(int pid, int port) {
    const std::set<unsigned long> listening = ListeningSockets(port);
    std::error_code error;
    for (std::filesystem::directory_iterator it("/proc/" + std::to_string(pid) + "/fd", error), end;
         !error && it != end; it.increment(error)) {
        const std::string target = std::filesystem::read_symlink(it->path(), error).string();
        unsigned long inode = 0;
        if (!error && std::sscanf(target.c_str(), "socket:[%lu]", &inode) == 1 && listening.count(inode) != 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool Accepts(const std::string& host, int port) {
    const SocketAddress address = Address(host, port);
    const FileDescriptor fd(socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) return false;
    return connect(fd.Get(), address.Get(), address.Length()) == 0;
}

int TryBind(const std::string& host, int port) {
    SocketAddress address = Address(host, port);
    const FileDescriptor fd(socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.Valid()) throw std::runtime_error("socket failed");
    int one = 1;
    setsockopt(fd.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    socklen_t length = address.Length();
    if (bind(fd.Get(), address.Get(), address.Length()) == 0 && getsockname(fd.Get(), address.Get(), &length) == 0) {
        return address.Port();
    }
    return 0;
}

void ServerProcess::Start(std::vector<std::string> args, const std::string& outputPath) {
    Stop();
    // Everything the child needs is prepared before the fork: a forked child
    // of a threaded process must not allocate.
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    FileDescriptor output;
    if (!outputPath.empty()) {
        output = FileDescriptor(open(outputPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
        if (!output.Valid()) throw std::runtime_error("cannot open " + outputPath);
    }
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        if (output.Valid()) {
            dup2(output.Get(), STDOUT_FILENO);
            dup2(output.Get(), STDERR_FILENO);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    pid_ = pid;
}

ServerProcess::Readiness ServerProcess::WaitUntilAccepting(const std::string& host, int port, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return Readiness::Exited;
        }
        if (Accepts(host, port) && HoldsListener(pid_, port)) return Readiness::Accepting;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
    }
    Stop();
    return Readiness::TimedOut;
}

void ServerProcess::Stop() {
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

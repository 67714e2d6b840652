#include "common/instance_lock.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "common/posix_io.h"

namespace corvasse {

namespace {

constexpr std::string_view kShowRequest = "show\n";
constexpr std::string_view kShowAnswer = "shown\n";
// How long either side waits for the other's line once connected.
constexpr std::chrono::milliseconds kExchangeTimeout{500};
constexpr std::chrono::milliseconds kConnectRetry{50};

// FNV-1a: the same number for the same path in every build.
uint64_t PathHash(std::string_view text) {
    uint64_t hash = 14695981039346656037ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

std::system_error SystemError(const std::string& what) { return {errno, std::generic_category(), what}; }

std::optional<sockaddr_un> SocketAddress(const std::filesystem::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    if (text.size() >= sizeof(address.sun_path)) return std::nullopt;
    std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
    return address;
}

// A send to a peer that went away must not raise SIGPIPE.
bool SendAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = RetryOnInterrupt([&] { return ::send(fd, data.data(), data.size(), MSG_NOSIGNAL); });
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// One line from fd, waiting at most the exchange's time-out for it.
std::string ReadLine(int fd) {
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + kExchangeTimeout;
    std::array<char, 16> buffer{};
    while (line.find('\n') == std::string::npos && line.size() < buffer.size()) {
        pollfd wait{fd, POLLIN, 0};
        if (PollUntil({&wait, 1}, deadline) <= 0) break;
        const ssize_t n = RetryOnInterrupt([&] { return ::read(fd, buffer.data(), buffer.size()); });
        if (n <= 0) break;
        line.append(buffer.data(), static_cast<size_t>(n));
    }
    return line;
}

}  // namespace

InstancePaths InstancePathsFor(const std::filesystem::path& settingsFolder,
                               const std::optional<std::filesystem::path>& runtimeDir) {
    std::error_code error;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(settingsFolder, error);
    if (error) canonical = std::filesystem::absolute(settingsFolder);
    std::array<char, 17> hex{};
    std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(PathHash(canonical.native())));
    const std::filesystem::path folder = runtimeDir && !runtimeDir->empty() ? *runtimeDir : canonical;
    const std::string name = std::string("corvasse-") + hex.data();
    return {folder / (name + ".lock"), folder / (name + ".socket")};
}

InstanceLock::InstanceLock(FileDescriptor lock, FileDescriptor listener, std::filesystem::path socket)
    : lock_(std::move(lock)), listener_(std::move(listener)), socket_(std::move(socket)) {}

InstanceLock::~InstanceLock() {
    // Only the holder of the lock may remove the socket; a moved-from lock holds nothing.
    if (lock_.Valid()) ::unlink(socket_.c_str());
}

std::optional<InstanceLock> InstanceLock::Acquire(const InstancePaths& paths) {
    FileDescriptor lock(
        RetryOnInterrupt([&] { return ::open(paths.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600); }));
    if (!lock.Valid()) throw SystemError("cannot open " + paths.lock.string());
    if (RetryOnInterrupt([&] { return ::flock(lock.Get(), LOCK_EX | LOCK_NB); }) != 0) {
        if (errno == EWOULDBLOCK) return std::nullopt;
        throw SystemError("cannot lock " + paths.lock.string());
    }
    const std::optional<sockaddr_un> address = SocketAddress(paths.socket);
    if (!address) {
        errno = ENAMETOOLONG;
        throw SystemError("cannot listen on " + paths.socket.string());
    }
    FileDescriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    // With the lock held, a socket file there is a leftover of a program that ended.
    ::unlink(paths.socket.c_str());
    if (!listener.Valid() ||
        ::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0 ||
        ::listen(listener.Get(), SOMAXCONN) != 0) {
        throw SystemError("cannot listen on " + paths.socket.string());
    }
    return InstanceLock(std::move(lock), std::move(listener), paths.socket);
}

int InstanceLock::TakeShowRequests() {
    int shows = 0;
    for (;;) {
        FileDescriptor peer(
            RetryOnInterrupt([&] { return ::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC); }));
        if (!peer.Valid()) return shows;
        if (ReadLine(peer.Get()) != kShowRequest) continue;
        ++shows;
        SendAll(peer.Get(), kShowAnswer);
    }
}

bool AskToShowWindow(const InstancePaths& paths, std::chrono::milliseconds wait) {
    const std::optional<sockaddr_un> address = SocketAddress(paths.socket);
    if (!address) return false;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        FileDescriptor peer(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (!peer.Valid()) return false;
        if (RetryOnInterrupt([&] {
                return ::connect(peer.Get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address));
            }) == 0) {
            return SendAll(peer.Get(), kShowRequest) && ReadLine(peer.Get()) == kShowAnswer;
        }
        if (std::chrono::steady_clock::now() + kConnectRetry > deadline) return false;
        std::this_thread::sleep_for(kConnectRetry);
    }
}

}  // namespace corvasse

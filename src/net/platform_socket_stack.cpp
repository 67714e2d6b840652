#include "net/platform_socket_stack.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/posix_io.h"
#include "common/process_abort.h"
#include "common/socket_error_code.h"
#include "net/net_error.h"

namespace corvasse {

namespace {

// Longest host name LocalHostName reports.
constexpr size_t kHostNameBytes = 250;

sockaddr_in InetAddress(int port, const std::string& ip) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (!ip.empty()) {
        auto bytes = SocketStack::TextToAddress(ip);
        std::memcpy(&address.sin_addr, bytes.data(), bytes.size());
    }
    return address;
}

SocketEndpoint EndpointOf(const sockaddr_in& address) {
    std::array<uint8_t, 4> bytes;
    std::memcpy(bytes.data(), &address.sin_addr, bytes.size());
    return {address.sin_family, ntohs(address.sin_port), SocketStack::AddressToText(bytes)};
}

// Adds the sockets of one list to the poll set with the events that make them
// ready; returns where each socket's entry is.
void AddToPollSet(const std::vector<int>* list, short events, std::vector<pollfd>& fds, std::vector<size_t>& where) {
    where.clear();
    if (!list) return;
    for (int socket : *list) {
        auto found = std::find_if(fds.begin(), fds.end(), [socket](const pollfd& p) { return p.fd == socket; });
        if (found == fds.end()) {
            fds.push_back({socket, events, 0});
            where.push_back(fds.size() - 1);
        } else {
            found->events |= events;
            where.push_back(static_cast<size_t>(found - fds.begin()));
        }
    }
}

// Keeps the sockets of a list whose entry shows one of the ready events;
// returns how many there are.
int KeepReady(std::vector<int>* list, short readyEvents, const std::vector<pollfd>& fds,
              const std::vector<size_t>& where) {
    if (!list) return 0;
    std::vector<int> ready;
    for (size_t i = 0; i < list->size(); ++i) {
        if (fds[where[i]].revents & readyEvents) ready.push_back((*list)[i]);
    }
    *list = std::move(ready);
    return static_cast<int>(list->size());
}

}  // namespace

int PlatformSocketStack::BindSocket(int socket, int /*family*/, int port, const std::string& ip) {
    sockaddr_in address = InetAddress(port, ip);
    return bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

int PlatformSocketStack::ReleaseSocket(int socket) { return close(socket); }

int PlatformSocketStack::ConnectSocket(int socket, int /*family*/, int port, const std::string& ip) {
    sockaddr_in address = InetAddress(port, ip);
    return RetryOnInterrupt([&] { return connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address); });
}

std::string PlatformSocketStack::LookupHostAddress(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0 || found == nullptr) RaiseSocketError(result != 0 ? SocketErrorFromLookup(result) : kNoAddress);
    std::string ip = EndpointOf(*reinterpret_cast<const sockaddr_in*>(found->ai_addr)).ip;
    freeaddrinfo(found);
    return ip;
}

std::string PlatformSocketStack::LocalHostName() {
    char name[kHostNameBytes + 1] = {};
    if (gethostname(name, kHostNameBytes) != 0) CheckSocketResult(-1);
    return std::string(name, strnlen(name, kHostNameBytes));
}

uint16_t PlatformSocketStack::HostToNet16(uint16_t value) { return htons(value); }

uint16_t PlatformSocketStack::NetToHost16(uint16_t value) { return ntohs(value); }

long PlatformSocketStack::ReceiveBytes(int socket, char* buffer, size_t length, int flags) {
    return RetryOnInterrupt([&] { return recv(socket, buffer, length, flags); });
}

long PlatformSocketStack::SendBytes(int socket, const char* buffer, size_t length, int flags) {
    return RetryOnInterrupt([&] { return send(socket, buffer, length, flags | MSG_NOSIGNAL); });
}

int PlatformSocketStack::SelectSockets(std::vector<int>* readList, std::vector<int>* writeList,
                                       std::vector<int>* errorList, Wait wait) {
    for (const std::vector<int>* list : {readList, writeList, errorList}) {
        if (list && list->size() > static_cast<size_t>(kMaxSocketsPerWait)) throw StackSetSizeExceededError();
    }
    if (wait.IsDefault()) {
        errno = EINVAL;
        return -1;
    }
    const std::optional<std::chrono::steady_clock::time_point> deadline = wait.Deadline();
    std::vector<pollfd> fds;
    std::vector<size_t> readAt, writeAt, errorAt;
    AddToPollSet(readList, POLLIN, fds, readAt);
    AddToPollSet(writeList, POLLOUT, fds, writeAt);
    AddToPollSet(errorList, POLLPRI, fds, errorAt);
    // Every wait of the network components passes here, so watching the
    // abort here lets a shutdown end any of them at once.
    if (PollUnlessAborted(fds, deadline) < 0) return -1;
    // As with select, an end of stream or an error makes a socket readable
    // and writable, so that the following call reports it.
    constexpr short kFailed = POLLERR | POLLHUP | POLLNVAL;
    return KeepReady(readList, POLLIN | kFailed, fds, readAt) + KeepReady(writeList, POLLOUT | kFailed, fds, writeAt) +
           KeepReady(errorList, POLLPRI, fds, errorAt);
}

int PlatformSocketStack::SetSocketOption(int socket, int level, int option, int value) {
    return setsockopt(socket, level, option, &value, sizeof value);
}

int PlatformSocketStack::GetSocketOption(int socket, int level, int option, int& value) {
    socklen_t length = sizeof value;
    return getsockopt(socket, level, option, &value, &length);
}

int PlatformSocketStack::OpenSocket(int family, int type, int protocol) {
    int domain = family == kAddressFamilyInet ? AF_INET : family;
    int kind = type == kSocketTypeStream ? SOCK_STREAM : type;
    int socket = ::socket(domain, kind | SOCK_CLOEXEC, protocol);
    return socket < 0 ? kInvalidSocket : socket;
}

int PlatformSocketStack::SetBlocking(int socket, bool blocking) {
    int flags = fcntl(socket, F_GETFL);
    if (flags == -1) return -1;
    return fcntl(socket, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
}

int PlatformSocketStack::ShutdownSocket(int socket, int how) {
    return shutdown(socket, how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR);
}

int PlatformSocketStack::LastSocketError() { return SocketErrorFromErrno(errno); }

SocketEndpoint PlatformSocketStack::PeerEndpoint(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CheckSocketResult(getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length));
    return EndpointOf(address);
}

SocketEndpoint PlatformSocketStack::LocalEndpoint(int socket) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    CheckSocketResult(getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length));
    return EndpointOf(address);
}

}  // namespace corvasse

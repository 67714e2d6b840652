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

#include "common/address_lookup.h"
#include "common/posix_io.h"
#include "common/process_abort.h"
#include "common/socket_error_code.h"
#include "net/net_error.h"

namespace corvasse {

namespace {

// Longest host name LocalHostName reports.
constexpr size_t kHostNameBytes = 250;

int SystemFamily(int family) {
    if (family == kAddressFamilyInet) return AF_INET;
    if (family == kAddressFamilyInet6) return AF_INET6;
    return family;
}

// The socket address of ip (empty: the any address) and port. An IPv4 text
// may take any form of ClassifyIPAddress; throws InvalidIPAddressError.
SocketAddress InetAddress(int family, int port, const std::string& ip) {
    SocketAddress address = SocketAddress::Any(SystemFamily(family), static_cast<uint16_t>(port));
    if (ip.empty()) return address;
    if (family == kAddressFamilyInet6) {
        const std::optional<SocketAddress> literal = SocketAddress::FromText(ip, static_cast<uint16_t>(port));
        if (!literal || literal->Family() != AF_INET6) throw InvalidIPAddressError(ip);
        return *literal;
    }
    auto bytes = SocketStack::TextToAddress(ip);
    std::memcpy(&reinterpret_cast<sockaddr_in*>(address.Get())->sin_addr, bytes.data(), bytes.size());
    return address;
}

SocketEndpoint EndpointOf(const SocketAddress& address) {
    const int family = address.Family() == AF_INET6 ? kAddressFamilyInet6 : address.Family();
    return {family, address.Port(), address.Text()};
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

int PlatformSocketStack::ReleaseSocket(int socket) { return close(socket); }

int PlatformSocketStack::ConnectSocket(int socket, int family, int port, const std::string& ip) {
    const SocketAddress address = InetAddress(family, port, ip);
    return RetryOnInterrupt([&] { return connect(socket, address.Get(), address.Length()); });
}

std::vector<std::string> PlatformSocketStack::LookupHostAddresses(const std::string& host, AddressFamily family) {
    const AddressLookup lookup = LookupAddresses(host, family);
    if (lookup.errorCode != 0) RaiseSocketError(lookup.errorCode);
    std::vector<std::string> texts;
    for (const SocketAddress& address : lookup.addresses) texts.push_back(address.Text());
    return texts;
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
    int domain = SystemFamily(family);
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
    return shutdown(socket, how == kShutdownReceive ? SHUT_RD : how == kShutdownSend ? SHUT_WR : SHUT_RDWR);
}

int PlatformSocketStack::LastSocketError() { return SocketErrorFromErrno(errno); }

SocketEndpoint PlatformSocketStack::PeerEndpoint(int socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    CheckSocketResult(getpeername(socket, reinterpret_cast<sockaddr*>(&address), &length));
    return EndpointOf(SocketAddress(reinterpret_cast<const sockaddr*>(&address), length));
}

}  // namespace corvasse

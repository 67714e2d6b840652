#include "support/loopback.h"

#include <cerrno>
#include <stdexcept>

#include <sys/socket.h>

#include "common/errno_text.h"
#include "common/posix_io.h"
#include "common/socket_address.h"

namespace corvasse::test {

FileDescriptor BindLoopback(int type, const std::string& address, int port) {
    const std::optional<SocketAddress> bound = SocketAddress::FromText(address, static_cast<uint16_t>(port));
    if (!bound) throw std::runtime_error("not an address: " + address);
    FileDescriptor socket(::socket(bound->Family(), type | SOCK_CLOEXEC, 0));
    if (!socket.Valid() || bind(socket.Get(), bound->Get(), bound->Length()) != 0) {
        throw std::runtime_error("cannot bind to " + address + " port " + std::to_string(port) + ": " +
                                 ErrnoText(errno));
    }
    return socket;
}

int BoundPort(const FileDescriptor& socket) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    sockaddr* const raw = reinterpret_cast<sockaddr*>(&address);
    if (getsockname(socket.Get(), raw, &length) != 0) throw std::runtime_error("getsockname failed");
    return SocketAddress(raw, length).Port();
}

int ClosedPort(const std::string& address) { return BoundPort(BindLoopback(SOCK_STREAM, address)); }

LoopbackListener::LoopbackListener(std::string address, int backlog)
    : address_(std::move(address)), socket_(BindLoopback(SOCK_STREAM, address_)) {
    if (listen(socket_.Get(), backlog) != 0) throw std::runtime_error("cannot listen on " + address_);
    port_ = BoundPort(socket_);
}

FileDescriptor LoopbackListener::Accept(Deadline deadline, const WakeUpEvent* stop) const {
    pollfd fds[2] = {{socket_.Get(), POLLIN, 0}, {stop != nullptr ? stop->Descriptor() : -1, POLLIN, 0}};
    const int ready = PollUntil(fds, deadline);
    if (ready < 0 || fds[1].revents != 0) return FileDescriptor();
    if (ready == 0) throw std::runtime_error("no client connected");
    FileDescriptor accepted(accept4(socket_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!accepted.Valid()) throw std::runtime_error(std::string("accept failed: ") + ErrnoText(errno));
    return accepted;
}

}  // namespace corvasse::test

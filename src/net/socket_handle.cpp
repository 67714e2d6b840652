#include "net/socket_handle.h"

#include <cerrno>
#include <vector>

#include <sys/socket.h>

#include "common/socket_error_code.h"
#include "net/net_error.h"

namespace corvasse {

namespace {

SocketStack& Stack() { return *SocketStack::Instance(); }

}  // namespace

SocketHandle::~SocketHandle() { CloseSocket(); }

void SocketHandle::AllocateSocket(int type, int protocol) {
    CloseSocket();
    handle_ = Stack().NewSocket(type, protocol);
}

void SocketHandle::Bind() {
    SocketStack& stack = Stack();
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        // "Address already in use" is the one bind failure with its own error.
        if (stack.CheckSocketResult(stack.BindSocket(handle_, kAddressFamilyInet, Port, IP), {kAddressInUse})) {
            throw CouldNotBindSocketError();
        }
    } else {
        if (ClientPortMax < ClientPortMin) throw InvalidPortRangeError(ClientPortMin, ClientPortMax);
        bool bound = false;
        for (int port = ClientPortMax; port >= ClientPortMin && !bound; --port) {
            bound = stack.BindSocket(handle_, kAddressFamilyInet, port, IP) == 0;
        }
        if (!bound) throw CanNotBindPortInRangeError(ClientPortMin, ClientPortMax);
    }
    UpdateBindingLocal();
}

void SocketHandle::Connect() {
    // connect() blocked in the kernel would not notice a shutdown; the
    // stack's readiness wait does.
    const std::optional<long> result = ConnectAwaiting([this] {
        std::vector<int> writable{handle_};
        Stack().SelectSockets(nullptr, &writable, nullptr, Wait::Forever());
        return true;
    });
    Stack().CheckSocketResult(*result);
}

std::optional<long> SocketHandle::ConnectAwaiting(const std::function<bool()>& awaitWritable) {
    SocketStack& stack = Stack();
    stack.SetBlocking(handle_, false);
    long result = stack.ConnectSocket(handle_, kAddressFamilyInet, PeerPort, PeerIP);
    if (result == -1 && stack.LastSocketError() == kInProgress) {
        if (!awaitWritable()) return std::nullopt;
        int error = 0;
        stack.GetSocketOption(handle_, SOL_SOCKET, SO_ERROR, error);
        errno = error;
        result = error == 0 ? 0 : -1;
    }
    const int savedErrno = errno;
    stack.SetBlocking(handle_, true);
    errno = savedErrno;
    return result;
}

void SocketHandle::CloseSocket() {
    if (handle_ == kInvalidSocket) return;
    SocketStack& stack = Stack();
    stack.ShutdownSocket(handle_, 1);
    stack.ReleaseSocket(handle_);
    handle_ = kInvalidSocket;
}

void SocketHandle::Reset() {
    CloseSocket();
    IP.clear();
    Port = 0;
    PeerIP.clear();
    PeerPort = 0;
    ClientPortMin = 0;
    ClientPortMax = 0;
}

void SocketHandle::UpdateBindingLocal() {
    SocketEndpoint local = Stack().LocalEndpoint(handle_);
    IP = local.ip;
    Port = local.port;
}

void SocketHandle::UpdateBindingPeer() {
    SocketEndpoint peer = Stack().PeerEndpoint(handle_);
    PeerIP = peer.ip;
    PeerPort = peer.port;
}

void SocketHandle::SetSocketOption(int level, int option, int value) {
    SocketStack& stack = Stack();
    stack.CheckSocketResult(stack.SetSocketOption(handle_, level, option, value));
}

}  // namespace corvasse

#include "net/socket_handle.h"

#include "net/net_error.h"

namespace corvasse {

namespace {

// "Address already in use", the one bind failure with its own error.
constexpr int kAddressInUse = 10048;

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
    SocketStack& stack = Stack();
    stack.CheckSocketResult(stack.ConnectSocket(handle_, kAddressFamilyInet, PeerPort, PeerIP));
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

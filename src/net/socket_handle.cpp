#include "net/socket_handle.h"

#include <sys/socket.h>

#include "common/socket_error_code.h"
#include "net/net_error.h"

namespace corvasse {

SocketHandle::~SocketHandle() { CloseSocket(); }

void SocketHandle::AllocateSocket(int family, int type, int protocol) {
    CloseSocket();
    handle_ = Stack().NewSocket(type, protocol, family);
    family_ = family;
}

long SocketHandle::StartConnect() {
    SocketStack& stack = Stack();
    stack.CheckSocketResult(stack.SetBlocking(handle_, false));
    return stack.ConnectSocket(handle_, family_, PeerPort, PeerIP);
}

int SocketHandle::ConnectOutcome() {
    int error = 0;
    Stack().CheckSocketResult(Stack().GetSocketOption(handle_, SOL_SOCKET, SO_ERROR, error));
    return error == 0 ? 0 : SocketErrorFromErrno(error);
}

void SocketHandle::RestoreBlocking() { Stack().CheckSocketResult(Stack().SetBlocking(handle_, true)); }

void SocketHandle::TakeFrom(SocketHandle& other) {
    CloseSocket();
    handle_ = other.handle_;
    family_ = other.family_;
    PeerIP = other.PeerIP;
    PeerPort = other.PeerPort;
    other.handle_ = kInvalidSocket;
    other.Reset();
}

void SocketHandle::CloseSocket() {
    if (handle_ == kInvalidSocket) return;
    SocketStack& stack = Stack();
    stack.ShutdownSocket(handle_, kShutdownSend);
    stack.ReleaseSocket(handle_);
    handle_ = kInvalidSocket;
}

void SocketHandle::Reset() {
    CloseSocket();
    PeerIP.clear();
    PeerPort = 0;
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

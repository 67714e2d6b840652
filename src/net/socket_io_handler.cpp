#include "net/socket_io_handler.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "common/socket_address.h"
#include "net/happy_eyeballs.h"
#include "net/net_error.h"

namespace corvasse {

SocketIOHandler::~SocketIOHandler() { binding_.CloseSocket(); }

void SocketIOHandler::Open() {
    IOHandler::Open();
    binding_.Reset();
}

void SocketIOHandler::Close() {
    IOHandler::Close();
    binding_.CloseSocket();
}

void SocketIOHandler::ConnectClient(const std::string& host, int port, AddressFamily family, Wait wait) {
    SocketStack& stack = Stack();
    binding_.Reset();
    peerTried_.clear();
    if (!SocketStack::IsIPAddress(host) && !IPv6Literal(host)) ReportStatus(Status::Resolving, host);
    const std::vector<std::string> addresses = stack.LookupHost(host, family);
    auto setUp = [&](SocketHandle& socket) {
        socket.AllocateSocket(SocketStack::FamilyOf(socket.PeerIP), kSocketTypeStream, 0);
        socket.SetSocketOption(IPPROTO_TCP, TCP_NODELAY, UseNagle ? 0 : 1);
        peerTried_ = AddressForDisplay(socket.PeerIP) + ":" + std::to_string(port);
        ReportStatus(Status::Connecting, AddressForDisplay(socket.PeerIP));
    };
    // Without a time of its own (or with 0) each attempt lasts as long as the system's.
    ConnectToFirst(addresses, port, wait.Limit() > std::chrono::milliseconds(0) ? wait : Wait::Forever(), setUp,
                   binding_);
    binding_.UpdateBindingPeer();
    peerTried_ = AddressForDisplay(binding_.PeerIP) + ":" + std::to_string(port);
}

bool SocketIOHandler::Connected() { return binding_.HandleAllocated(); }

bool SocketIOHandler::Readable(Wait wait) {
    if (!binding_.HandleAllocated()) throw ConnClosedGracefullyError();
    std::vector<int> readList{binding_.Handle()};
    return Stack().SelectSockets(&readList, nullptr, nullptr, wait) == 1;
}

bool SocketIOHandler::Writable(Wait wait) {
    if (!binding_.HandleAllocated()) throw ClosedSocketError();
    std::vector<int> writeList{binding_.Handle()};
    return Stack().SelectSockets(nullptr, &writeList, nullptr, wait) == 1;
}

long SocketIOHandler::Recv(char* buffer, size_t length) {
    if (!binding_.HandleAllocated()) throw ClosedSocketError();
    return Stack().ReceiveBytes(binding_.Handle(), buffer, length, 0);
}

long SocketIOHandler::Send(const char* buffer, size_t length) {
    if (!binding_.HandleAllocated()) throw ClosedSocketError();
    // The socket itself blocks (a plain connect needs it to); this send
    // must not, or a peer that stops reading would hold it for ever.
    return Stack().SendBytes(binding_.Handle(), buffer, length, MSG_DONTWAIT);
}

}  // namespace corvasse

#include "net/socket_io_handler.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include "common/process_abort.h"
#include "net/connect_thread.h"
#include "net/net_error.h"

namespace corvasse {

namespace {

SocketStack& Stack() { return *SocketStack::Instance(); }

bool IsPlainBlockingConnect(Wait wait) { return wait.IsDefault() || wait == Wait::For(std::chrono::milliseconds(0)); }

}  // namespace

SocketIOHandler::~SocketIOHandler() { binding_.CloseSocket(); }

void SocketIOHandler::Open() {
    IOHandler::Open();
    binding_.Reset();
}

void SocketIOHandler::Close() {
    IOHandler::Close();
    binding_.CloseSocket();
}

void SocketIOHandler::ConnectClient(const std::string& host, int port, Wait wait, const LocalBinding& local) {
    SocketStack& stack = Stack();
    binding_.AllocateSocket(kSocketTypeStream, 0);
    binding_.IP = local.ip;
    binding_.Port = local.port;
    binding_.ClientPortMin = local.portMin;
    binding_.ClientPortMax = local.portMax;
    binding_.Bind();

    if (!SocketStack::IsIPAddress(host)) ReportStatus(Status::Resolving, host);
    binding_.PeerIP = stack.LookupHost(host);
    binding_.PeerPort = port;
    binding_.SetSocketOption(IPPROTO_TCP, TCP_NODELAY, UseNagle ? 0 : 1);
    ReportStatus(Status::Connecting, binding_.PeerIP);

    if (IsPlainBlockingConnect(wait)) {
        binding_.Connect();
    } else {
        ConnectThread connecting(binding_);
        if (!connecting.EndedWithin(wait)) {
            connecting.Stop();
            Close();
            connecting.Join();
            throw ConnectTimeoutError();
        }
        connecting.Join();
        ThrowIfProcessAborted();
        if (!connecting.FailureMessage().empty()) {
            if (connecting.FailureCode() != 0) {
                throw SocketError(connecting.FailureCode(), connecting.FailureMessage());
            }
            throw ConnectError(connecting.FailureMessage());
        }
    }
    binding_.UpdateBindingLocal();
    binding_.UpdateBindingPeer();
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

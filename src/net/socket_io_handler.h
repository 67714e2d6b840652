#pragma once
// The socket implementation of IOHandler. It counts as connected while it
// holds a socket. A handler that a client creates for itself reports the
// resolving and connecting states through its OnStatus, which the client
// copies from its own; a handler supplied from outside reports them only when
// its own OnStatus is set.

#include "net/io_handler.h"
#include "net/socket_handle.h"

namespace corvasse {

class SocketIOHandler : public IOHandler {
public:
    SocketIOHandler() = default;
    ~SocketIOHandler() override;

    // false sets TCP_NODELAY on every socket this handler connects.
    bool UseNagle = true;

    void Open() override;
    void Close() override;
    // Reports Resolving (for a name only), then Connecting with each address
    // as it is tried (IPv6 in brackets), trying several as happy_eyeballs.h
    // says.
    void ConnectClient(const std::string& host, int port, AddressFamily family, Wait wait) override;
    bool Connected() override;
    bool Readable(Wait wait) override;
    bool Writable(Wait wait) override;
    long Recv(char* buffer, size_t length) override;
    long Send(const char* buffer, size_t length) override;

    // The socket and its addresses.
    SocketHandle& Binding() { return binding_; }

private:
    SocketHandle binding_;
};

}  // namespace corvasse

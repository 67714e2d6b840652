#pragma once
// The transport under a TCP connection: opens, connects, waits for, receives
// and sends bytes. SocketIOHandler (socket_io_handler.h) is the one
// implementation; a handler may be shared by several connections (the SMTP and
// POP3 clients share one), which never free a handler given to them.

#include <cstddef>
#include <string>

#include "common/address_family.h"
#include "net/net_component.h"
#include "net/wait.h"

namespace corvasse {

class IOHandler : public NetComponent {
public:
    // Marks the handler active; SocketIOHandler also prepares its socket handle.
    virtual void Open();
    // Marks it inactive; SocketIOHandler also shuts down and closes its socket.
    virtual void Close();
    bool Active() const { return active_; }

    // Opens a connection to host:port over the addresses of the family that
    // host has (SocketStack::LookupHost). wait:
    // Wait::Default(), Wait::Forever() (or a wait of 0) as long as the
    // system's own attempts last, Wait::For(t) abandoned after t
    // (ConnectTimeoutError). Throws the socket and time-out errors of
    // net_error.h.
    virtual void ConnectClient(const std::string& host, int port, AddressFamily family, Wait wait) = 0;
    // True while the handler holds a socket.
    virtual bool Connected() = 0;
    // True when data (or the peer's close) is waiting within the wait
    // (Wait::Forever() or Wait::For(t)). Throws ConnClosedGracefullyError
    // when no socket is held.
    virtual bool Readable(Wait wait) = 0;
    // True when a Send can make progress within the wait (Wait::Forever()
    // or Wait::For(t)): there is room, or a failure for Send to report.
    // Throws ClosedSocketError when no socket is held.
    virtual bool Writable(Wait wait) = 0;
    // recv/send; the count or -1 (code in the stack's LastSocketError()).
    // Send never waits: with no room it fails with EWOULDBLOCK (10035), and
    // Writable tells when to try again. Throw ClosedSocketError
    // "Disconnected." when no socket is held.
    virtual long Recv(char* buffer, size_t length) = 0;
    virtual long Send(const char* buffer, size_t length) = 0;

    // The address (an IPv6 one in brackets) and port that the latest
    // ConnectClient tried last, or connected to once it did
    // ("[2001:db8::1]:443"); empty until it started an attempt.
    const std::string& PeerTried() const { return peerTried_; }

protected:
    std::string peerTried_;

private:
    bool active_ = false;
};

}  // namespace corvasse

#pragma once
// A TCP connection that connects out to Host:Port. The protocol clients
// derive from it and override Connect and Disconnect, calling these.

#include <functional>
#include <string>

#include "common/address_family.h"
#include "net/tcp_connection.h"

namespace corvasse {

class TcpClient : public TcpConnection {
public:
    // A name, an IPv4 literal, or an IPv6 literal with or without brackets.
    std::string Host;
    int Port = 0;
    // The addresses of Host that may be used: any (tried as
    // happy_eyeballs.h says), or those of one family only.
    AddressFamily Family = AddressFamily::Any;
    // Local address to bind to; empty: any.
    std::string BoundIP;
    // Local port to bind to; 0 lets the system choose.
    int BoundPort = 0;
    // A range of local ports tried from the highest down when BoundPort is 0;
    // 0 at either end means no range.
    int BoundPortMin = 0;
    int BoundPortMax = 0;
    // Raised after the status Connected.
    std::function<void()> OnConnected;

    // Connects (creating a TlsIOHandler of its own when none is set; it stays a
    // plain socket handler until a client starts TLS on it).
    // wait: Wait::Default(), Wait::Forever() (or a wait of 0) as long as the
    // system's own attempts last; Wait::For(t) gives up after t with
    // ConnectTimeoutError "Connect timed out.". Status order: Resolving (only
    // for a name), Connecting for each address tried, Connected, then
    // OnConnected. Any failure closes the socket before the error passes;
    // the client can connect again.
    // Throws AlreadyConnectedError, SocketError, InvalidSocketError,
    // ConnectTimeoutError and the binding errors.
    virtual void Connect(Wait wait = Wait::Default());

    // The address (an IPv6 one in brackets) and port the latest Connect
    // connected to, or tried last when it failed ("[2001:db8::1]:443");
    // kept after Disconnect, empty when it tried none.
    const std::string& PeerTried() const { return peerTried_; }

private:
    std::string peerTried_;
};

}  // namespace corvasse

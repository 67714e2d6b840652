#pragma once
// A TCP connection that connects out to Host:Port. The protocol clients
// derive from it and override Connect and Disconnect, calling these.

#include <functional>
#include <string>

#include "net/tcp_connection.h"

namespace corvasse {

class TcpClient : public TcpConnection {
public:
    std::string Host;
    int Port = 0;
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
    // wait: Wait::Default() (or a wait of 0) a plain blocking connect;
    // Wait::Forever() a connect on a thread without limit; Wait::For(t) gives
    // up after t with ConnectTimeoutError "Connect timed out.". Status order: Resolving
    // (only for a name), Connecting, Connected, then OnConnected. Any failure
    // closes the socket before the error passes; the client can connect again.
    // Throws AlreadyConnectedError, SocketError, ConnectTimeoutError,
    // ConnectError and the binding errors.
    virtual void Connect(Wait wait = Wait::Default());
};

}  // namespace corvasse

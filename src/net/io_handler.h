#pragma once
// The transport under a TCP connection: opens, connects, waits for, receives
// and sends bytes. SocketIOHandler (socket_io_handler.h) is the one
// implementation; a handler may be shared by several connections (the SMTP and
// POP3 clients share one), which never free a handler given to them.

#include <cstddef>
#include <string>

#include "net/net_component.h"

namespace corvasse {

class IOHandler : public NetComponent {
public:
    // Marks the handler active; SocketIOHandler also prepares its socket handle.
    virtual void Open();
    // Marks it inactive; SocketIOHandler also shuts down and closes its socket.
    virtual void Close();
    bool Active() const { return active_; }

    // Opens a connection to host:port, optionally bound to boundIP:boundPort or
    // to a port of the range boundPortMin..boundPortMax. timeoutMs: 0 or -1 a
    // plain blocking connect, -2 a connect on a thread without limit, else a
    // connect abandoned after that many milliseconds (ConnectTimeoutError).
    // Throws the socket, binding and time-out errors of net_error.h.
    virtual void ConnectClient(const std::string& host, int port, int timeoutMs, int boundPortMax,
                               int boundPortMin, int boundPort, const std::string& boundIP) = 0;
    // True while the handler holds a socket.
    virtual bool Connected() = 0;
    // True when data (or the peer's close) is waiting within timeoutMs
    // (-2: no limit). Throws ConnClosedGracefullyError when no socket is held.
    virtual bool Readable(int timeoutMs) = 0;
    // recv/send; the count or -1 (code in the stack's LastSocketError()).
    // Throw ClosedSocketError "Disconnected." when no socket is held.
    virtual long Recv(char* buffer, size_t length) = 0;
    virtual long Send(const char* buffer, size_t length) = 0;

private:
    bool active_ = false;
};

}  // namespace corvasse

#pragma once
// One socket with its local and peer addresses and the binding it asks for.

#include <functional>
#include <optional>
#include <string>

#include "net/socket_stack.h"

namespace corvasse {

class SocketHandle {
public:
    SocketHandle() = default;
    // Closes the socket when one is held.
    ~SocketHandle();
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    // Closes any previous socket and creates a new one; throws
    // InvalidSocketError.
    void AllocateSocket(int type = kSocketTypeStream, int protocol = 0);
    // Binds to IP:Port, or to the first free port of ClientPortMax down to
    // ClientPortMin when a range is set and Port is 0. Throws
    // CouldNotBindSocketError, InvalidPortRangeError,
    // CanNotBindPortInRangeError or SocketError.
    void Bind();
    // A connect to PeerIP:PeerPort that lasts as long as the system's own
    // attempt. Throws SocketError, and AbortedError when the process abort is
    // raised meanwhile.
    void Connect();
    // Connects to PeerIP:PeerPort on a non-blocking socket, so that the wait
    // for the handshake is the caller's: awaitWritable waits until the socket
    // is writable and returns false when the caller gave up meanwhile (the
    // socket is then left alone and nothing is returned). Otherwise the
    // socket blocks again and the result is 0, or -1 with the error in errno.
    std::optional<long> ConnectAwaiting(const std::function<bool()>& awaitWritable);
    // Shuts down the sending side and closes the socket; the handle is free
    // afterwards. Nothing happens when no socket is held.
    void CloseSocket();
    // Closes the socket and forgets addresses and binding.
    void Reset();
    // Reads the local / peer address back from the system.
    void UpdateBindingLocal();
    void UpdateBindingPeer();
    // setsockopt with an int value; throws SocketError.
    void SetSocketOption(int level, int option, int value);

    int Handle() const { return handle_; }
    bool HandleAllocated() const { return handle_ != kInvalidSocket; }

    std::string IP;  // local address; empty: any
    int Port = 0;    // local port; 0: any
    std::string PeerIP;
    int PeerPort = 0;
    int ClientPortMin = 0;  // bind range; 0 at either end: none
    int ClientPortMax = 0;

private:
    int handle_ = kInvalidSocket;
};

}  // namespace corvasse

#pragma once
// One socket with the peer address it connects to.

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

    // Closes any previous socket and creates a new one of the family
    // (kAddressFamilyInet, kAddressFamilyInet6); throws InvalidSocketError.
    void AllocateSocket(int family = kAddressFamilyInet, int type = kSocketTypeStream, int protocol = 0);
    // Starts connecting to PeerIP:PeerPort without waiting: the socket stops
    // blocking, and the result is 0 when it is connected already, or -1 with
    // the code in the stack's LastSocketError() (10036 while it is under way;
    // the socket is then writable once it is done, and ConnectOutcome tells how).
    long StartConnect();
    // After a connect under way made the socket writable: 0 when it
    // connected, else the Winsock number of its failure.
    int ConnectOutcome();
    // Makes calls on the socket wait again, as they do on a new one.
    void RestoreBlocking();
    // Takes over the other handle's socket and peer, closing its own;
    // the other one is left empty.
    void TakeFrom(SocketHandle& other);
    // Shuts down the sending side and closes the socket; the handle is free
    // afterwards. Nothing happens when no socket is held.
    void CloseSocket();
    // Closes the socket and forgets the peer.
    void Reset();
    // Reads the peer address back from the system.
    void UpdateBindingPeer();
    // setsockopt with an int value; throws SocketError.
    void SetSocketOption(int level, int option, int value);

    int Handle() const { return handle_; }
    bool HandleAllocated() const { return handle_ != kInvalidSocket; }
    // The family the socket was allocated with.
    int Family() const { return family_; }

    std::string PeerIP;
    int PeerPort = 0;

private:
    int handle_ = kInvalidSocket;
    int family_ = kAddressFamilyInet;
};

}  // namespace corvasse

#pragma once
// Loopback sockets for tests: a socket bound to a free (or given) port of
// 127.0.0.1 or ::1, a TCP listener on one, and ConnectTo, which points a
// client at a server and connects it.
//
//     LoopbackListener listener("::1");
//     test::ConnectTo(client, listener);
//     const FileDescriptor accepted = listener.Accept(Clock::now() + 10s);

#include <chrono>
#include <optional>
#include <string>

#include "common/file_descriptor.h"
#include "common/wake_up_event.h"

namespace corvasse::test {

using Deadline = std::optional<std::chrono::steady_clock::time_point>;

// A socket of the type given (SOCK_STREAM, SOCK_DGRAM) bound to the address
// (a numeric IPv4 or IPv6 address) and port; port 0 takes a free one.
// Throws std::runtime_error when it cannot.
FileDescriptor BindLoopback(int type, const std::string& address = "127.0.0.1", int port = 0);
// The port a socket is bound to.
int BoundPort(const FileDescriptor& socket);
// A port of the address that nothing listens on: a connect there is refused.
int ClosedPort(const std::string& address = "127.0.0.1");

class LoopbackListener {
public:
    // Listens on a free port of the address; throws std::runtime_error when
    // it cannot.
    explicit LoopbackListener(std::string address = "127.0.0.1", int backlog = 16);

    // The address, without brackets.
    const std::string& Host() const { return address_; }
    int Port() const { return port_; }

    // The next connection, waited for until the deadline (for ever without
    // one). An invalid descriptor when stop is raised first; throws
    // std::runtime_error ("no client connected", "accept failed: ...") on
    // time-out or failure.
    FileDescriptor Accept(Deadline deadline, const WakeUpEvent* stop = nullptr) const;

private:
    std::string address_;
    FileDescriptor socket_;
    int port_ = 0;
};

// Points a client (anything with Host, Port and Connect()) at a server
// (anything with Host() and Port(): a listener, a scripted peer, a real
// server) and connects it.
template <typename Client, typename Server>
void ConnectTo(Client& client, const Server& server) {
    client.Host = server.Host();
    client.Port = server.Port();
    client.Connect();
}

}  // namespace corvasse::test

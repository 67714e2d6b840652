#include "support/http_exchange.h"

#include <thread>

#include <poll.h>
#include <sys/socket.h>

#include "common/posix_io.h"
#include "common/socket_address.h"

namespace corvasse::test {

FileDescriptor ConnectTcp(const std::string& host, int port) {
    const std::optional<SocketAddress> address = SocketAddress::FromText(host, static_cast<uint16_t>(port));
    FileDescriptor socket(address ? ::socket(address->Family(), SOCK_STREAM | SOCK_CLOEXEC, 0) : -1);
    if (socket.Valid() && connect(socket.Get(), address->Get(), address->Length()) != 0) socket.Close();
    return socket;
}

std::string ReadUntilClosed(const FileDescriptor& socket, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string bytes;
    for (;;) {
        pollfd fd{socket.Get(), POLLIN, 0};
        if (PollUntil({&fd, 1}, deadline) <= 0) return bytes;
        char buffer[65536];
        const ssize_t got = recv(socket.Get(), buffer, sizeof buffer, 0);
        if (got <= 0) return bytes;
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

void SendAll(const FileDescriptor& socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return;
        bytes.remove_prefix(static_cast<size_t>(sent));
    }
}

std::string HttpExchange(const std::string& host, int port, std::string_view request) {
    const FileDescriptor socket = ConnectTcp(host, port);
    SendAll(socket, request);
    return socket.Valid() ? ReadUntilClosed(socket, std::chrono::seconds(60)) : "";
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    for (const auto deadline = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < deadline;
         std::this_thread::sleep_for(std::chrono::milliseconds(100))) {
        if (condition()) return true;
    }
    return condition();
}

}  // namespace corvasse::test

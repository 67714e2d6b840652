#include "support/bulk_sender.h"

#include <cerrno>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvasse::test {

BulkSender::BulkSender(std::string payload) : payload_(std::move(payload)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 16) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("BulkSender: cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    wake_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { Run(); });
}

BulkSender::~BulkSender() {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = write(wake_, &one, sizeof one);
    thread_.join();
    close(listener_);
    close(wake_);
}

void BulkSender::Run() {
    for (;;) {
        pollfd fds[2] = {{listener_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno == EINTR) continue;
        if (fds[1].revents != 0) return;
        int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        size_t done = 0;
        while (done < payload_.size()) {
            long sent = send(client, payload_.data() + done, payload_.size() - done, MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR) continue;
            if (sent <= 0) break;
            done += static_cast<size_t>(sent);
        }
        shutdown(client, SHUT_WR);
        // Wait for the client to close first so that no reset cuts the tail.
        char sink[4096];
        while (recv(client, sink, sizeof sink, 0) > 0) {
        }
        close(client);
    }
}

}  // namespace corvasse::test

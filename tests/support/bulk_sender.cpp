#include "support/bulk_sender.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "common/posix_io.h"

namespace corvasse::test {

BulkSender::BulkSender(std::string payload) : payload_(std::move(payload)) {
    listener_ = FileDescriptor(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const int listener = listener_.Get();
    if (!listener_.Valid() || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 16) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        !wake_.Valid()) {
        throw std::runtime_error("BulkSender: cannot listen on loopback");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Run(); });
}

BulkSender::~BulkSender() {
    wake_.Raise();
    thread_.join();
}

void BulkSender::Run() {
    for (;;) {
        pollfd fds[2] = {{listener_.Get(), POLLIN, 0}, {wake_.Descriptor(), POLLIN, 0}};
        PollUntil(fds, std::nullopt);
        if (fds[1].revents != 0) return;
        const FileDescriptor client(accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!client.Valid()) continue;
        std::string_view rest = payload_;
        while (!rest.empty()) {
            const long sent =
                RetryOnInterrupt([&] { return send(client.Get(), rest.data(), rest.size(), MSG_NOSIGNAL); });
            if (sent <= 0) break;
            rest.remove_prefix(static_cast<size_t>(sent));
        }
        shutdown(client.Get(), SHUT_WR);
        // Wait for the client to close first so that no reset cuts the tail.
        char sink[4096];
        while (RetryOnInterrupt([&] { return recv(client.Get(), sink, sizeof sink, 0); }) > 0) {}
    }
}

}  // namespace corvasse::test

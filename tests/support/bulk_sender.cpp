#include "support/bulk_sender.h"

#include <stdexcept>

#include <sys/socket.h>

#include "common/posix_io.h"

namespace corvasse::test {

BulkSender::BulkSender(std::string payload) : payload_(std::move(payload)) {
    if (!wake_.Valid()) throw std::runtime_error("BulkSender: eventfd failed");
    thread_ = std::thread([this] { Run(); });
}

BulkSender::~BulkSender() {
    wake_.Raise();
    thread_.join();
}

void BulkSender::Run() {
    for (;;) {
        FileDescriptor client;
        try {
            client = listener_.Accept(std::nullopt, &wake_);
        } catch (const std::runtime_error&) {
            continue;  // a failed accept; the next client may still come
        }
        if (!client.Valid()) return;
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

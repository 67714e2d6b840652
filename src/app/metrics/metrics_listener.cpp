#include "app/metrics/metrics_listener.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>

#include "app/metrics/metrics_request.h"
#include "app/metrics/metrics_text.h"
#include "common/errno_text.h"
#include "common/posix_io.h"
#include "common/socket_address.h"

namespace corvasse {

namespace {

using Clock = std::chrono::steady_clock;

// Room for the connections waiting beyond the limit.
constexpr int kListenBacklog = 128;
constexpr std::chrono::milliseconds kAcceptRetryPause{100};

struct Connection {
    FileDescriptor socket;
    Clock::time_point deadline;
    std::string head;
    // Empty while the head is read.
    std::string answer;
    std::size_t sent = 0;
    bool done = false;
};

std::string Answer(MetricsRequest request, const std::function<std::string()>& text) {
    const char* status = "200 OK";
    std::string body;
    std::string_view type = kMetricsContentType;
    std::string extra;
    switch (request) {
        case MetricsRequest::Metrics:
        case MetricsRequest::MetricsHead: body = text(); break;
        case MetricsRequest::NotFound: status = "404 Not Found"; break;
        case MetricsRequest::MethodNotAllowed:
            status = "405 Method Not Allowed";
            extra = "Allow: GET, HEAD\r\n";
            break;
        case MetricsRequest::BadRequest: status = "400 Bad Request"; break;
    }
    if (request != MetricsRequest::Metrics && request != MetricsRequest::MetricsHead) {
        body = std::string(status) + "\n";
        type = "text/plain; charset=utf-8";
    }
    std::string answer = "HTTP/1.1 " + std::string(status) + "\r\nContent-Type: " + std::string(type) +
                         "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
                         "Connection: close\r\n\r\n";
    if (request != MetricsRequest::MetricsHead) answer += body;
    return answer;
}

// Reads what the client sent; false when the connection is to close (it
// closed, failed, or sent a head too long).
bool ReadHead(Connection& connection, const std::function<std::string()>& text) {
    char bytes[4096];
    const ssize_t got = RetryOnInterrupt([&] { return recv(connection.socket.Get(), bytes, sizeof bytes, 0); });
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
    if (got == 0) return false;
    connection.head.append(bytes, static_cast<std::size_t>(got));
    const std::size_t length = RequestHeadLength(connection.head);
    if (length == 0 || length > kMetricsHeadLimitBytes) return connection.head.size() <= kMetricsHeadLimitBytes;
    connection.answer = Answer(ReadMetricsRequest(std::string_view(connection.head).substr(0, length)), text);
    connection.deadline = Clock::now() + kMetricsAnswerTimeout;
    return true;
}

// Sends what the socket takes of the answer; false once it is all sent or
// the connection failed.
bool SendAnswer(Connection& connection) {
    while (connection.sent < connection.answer.size()) {
        const ssize_t sent = RetryOnInterrupt([&] {
            return send(connection.socket.Get(), connection.answer.data() + connection.sent,
                        connection.answer.size() - connection.sent, MSG_NOSIGNAL);
        });
        if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
        connection.sent += static_cast<std::size_t>(sent);
    }
    return false;
}

FileDescriptor Listen(const ListenAddress& address) {
    const std::string where = "cannot listen for metrics on " + ListenAddressText(address) + ": ";
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int looked = getaddrinfo(address.host.c_str(), std::to_string(address.port).c_str(), &hints, &found);
    if (looked != 0) throw MetricsListenError(where + gai_strerror(looked));
    int error = EADDRNOTAVAIL;
    FileDescriptor socket;
    for (const addrinfo* each = found; each != nullptr && !socket.Valid(); each = each->ai_next) {
        FileDescriptor candidate(::socket(each->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        const int on = 1;
        if (candidate.Valid()) setsockopt(candidate.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        // "[::]:9477" is IPv6 alone, as "0.0.0.0:9477" is IPv4 alone.
        if (candidate.Valid() && each->ai_family == AF_INET6)
            setsockopt(candidate.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        if (!candidate.Valid() || bind(candidate.Get(), each->ai_addr, each->ai_addrlen) != 0 ||
            listen(candidate.Get(), kListenBacklog) != 0) {
            error = errno;
            continue;
        }
        socket = std::move(candidate);
    }
    freeaddrinfo(found);
    if (!socket.Valid()) throw MetricsListenError(where + ErrnoText(error));
    return socket;
}

}  // namespace

MetricsListener::MetricsListener(const ListenAddress& address, std::function<std::string()> text)
    : socket_(Listen(address)), text_(std::move(text)) {
    if (!stop_.Valid()) throw MetricsListenError("cannot listen for metrics: " + ErrnoText(errno));
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(socket_.Get(), reinterpret_cast<sockaddr*>(&bound), &length);
    port_ = SocketAddress(reinterpret_cast<const sockaddr*>(&bound), length).Port();
    thread_ = std::thread([this] { Serve(); });
}

MetricsListener::~MetricsListener() {
    stop_.Raise();
    thread_.join();
}

void MetricsListener::Serve() {
    std::vector<Connection> connections;
    std::vector<pollfd> fds;
    for (;;) {
        const bool accepting = connections.size() < static_cast<std::size_t>(kMetricsConnectionLimit);
        fds.assign({{stop_.Descriptor(), POLLIN, 0}, {accepting ? socket_.Get() : -1, POLLIN, 0}});
        std::optional<Clock::time_point> deadline;
        for (const Connection& connection : connections) {
            fds.push_back(
                {connection.socket.Get(), static_cast<short>(connection.answer.empty() ? POLLIN : POLLOUT), 0});
            deadline = std::min(deadline.value_or(connection.deadline), connection.deadline);
        }
        if (PollUntil(fds, deadline) < 0) continue;
        if (fds[0].revents != 0) return;
        const Clock::time_point now = Clock::now();
        for (std::size_t i = 0; i < connections.size(); ++i) {
            Connection& connection = connections[i];
            const bool reading = connection.answer.empty();
            connection.done = (reading && fds[i + 2].revents != 0 && !ReadHead(connection, text_)) ||
                              (!connection.answer.empty() && !SendAnswer(connection)) || now >= connection.deadline;
        }
        std::erase_if(connections, [](const Connection& connection) { return connection.done; });
        while (fds[1].revents != 0 && connections.size() < static_cast<std::size_t>(kMetricsConnectionLimit)) {
            FileDescriptor accepted(RetryOnInterrupt(
                [&] { return accept4(socket_.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC); }));
            if (!accepted.Valid()) {
                // Out of descriptors, say: the queue is tried again a little later, not at once.
                if (errno != EAGAIN && errno != EWOULDBLOCK) std::this_thread::sleep_for(kAcceptRetryPause);
                break;
            }
            Connection& connection = connections.emplace_back();
            connection.socket = std::move(accepted);
            connection.deadline = now + kMetricsHeadTimeout;
        }
    }
}

}  // namespace corvasse

#pragma once
// Answers scrapes of the service's metrics over HTTP/1.1 on a thread of its
// own, which waits on its sockets with poll() and never on a watch:
// GET (or HEAD) /metrics gets the text, any other path 404, any other
// method 405, a request line it cannot read 400; each answer closes its
// connection. A client cannot hold it up: a request head longer than
// kMetricsHeadLimitBytes or not complete within kMetricsHeadTimeout, or an
// answer not taken within kMetricsAnswerTimeout, closes the connection, and
// past kMetricsConnectionLimit open connections the next ones wait in the
// kernel's queue until one closes.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/metrics/listen_address.h"
#include "common/file_descriptor.h"
#include "common/wake_up_event.h"

namespace corvasse {

inline constexpr std::size_t kMetricsHeadLimitBytes = 8192;
inline constexpr std::chrono::seconds kMetricsHeadTimeout{5};
inline constexpr std::chrono::seconds kMetricsAnswerTimeout{30};
inline constexpr int kMetricsConnectionLimit = 16;

// The address cannot be listened on; the message says which and why
// ("cannot listen for metrics on 127.0.0.1:9477: Address already in use").
class MetricsListenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class MetricsListener {
public:
    // Listens on the address (port 0: any free one) and answers from now on;
    // text gives the metrics, on the listener's thread. Throws
    // MetricsListenError.
    MetricsListener(const ListenAddress& address, std::function<std::string()> text);
    // Stops answering and closes every connection.
    ~MetricsListener();
    MetricsListener(const MetricsListener&) = delete;
    MetricsListener& operator=(const MetricsListener&) = delete;

    // The port it listens on.
    uint16_t Port() const { return port_; }

private:
    void Serve();

    FileDescriptor socket_;
    uint16_t port_ = 0;
    std::function<std::string()> text_;
    WakeUpEvent stop_;
    std::thread thread_;
};

}  // namespace corvasse

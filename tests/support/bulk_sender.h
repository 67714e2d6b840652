#pragma once
// A loopback server that sends the same bytes to every client that connects
// and then closes; for benchmarks that read a large stream.

#include <string>
#include <thread>

namespace corvasse::test {

class BulkSender {
public:
    explicit BulkSender(std::string payload);
    // Stops accepting and closes the listener.
    ~BulkSender();
    BulkSender(const BulkSender&) = delete;
    BulkSender& operator=(const BulkSender&) = delete;

    int Port() const { return port_; }
    const std::string& Payload() const { return payload_; }

private:
    void Run();

    std::string payload_;
    int listener_ = -1;
    int wake_ = -1;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace corvasse::test

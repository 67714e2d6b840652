#pragma once
// A loopback server that sends the same bytes to every client that connects
// and then closes; for benchmarks that read a large stream.

#include <string>
#include <thread>

#include "common/file_descriptor.h"
#include "common/wake_up_event.h"
#include "support/loopback.h"

namespace corvasse::test {

class BulkSender {
public:
    explicit BulkSender(std::string payload);
    // Stops accepting and closes the listener.
    ~BulkSender();
    BulkSender(const BulkSender&) = delete;
    BulkSender& operator=(const BulkSender&) = delete;

    int Port() const { return listener_.Port(); }
    const std::string& Payload() const { return payload_; }

private:
    void Run();

    std::string payload_;
    LoopbackListener listener_;
    WakeUpEvent wake_;
    std::thread thread_;
};

}  // namespace corvasse::test
